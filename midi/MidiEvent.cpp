#include "midi/MidiEvent.h"

#include "midi/ByteStream.h"

namespace kadrel {

void TMidiEvent::WriteToStream(ByteStream& stream) const {
    DeltaTime.WriteToStream(stream);
    if (IsMeta) {
        stream.WriteByte(0xFF);
        stream.WriteByte(Status);
    } else {
        stream.WriteByte(static_cast<std::uint8_t>(Status | Channel));
    }
}

std::uint8_t TMidiEndOfTrackEvent::Size() const {
    return static_cast<std::uint8_t>(DeltaTime.ByteCount() + 3);
}

void TMidiEndOfTrackEvent::WriteToStream(ByteStream& stream) const {
    TMidiEvent::WriteToStream(stream);
    stream.WriteByte(0x00);
}

void TMidiEndOfTrackEvent::ReadFromStream(ByteStream& stream) {
    std::uint8_t length = 0;
    stream.ReadByte(length);
}

std::uint8_t TMidiNoteONEvent::Size() const {
    return static_cast<std::uint8_t>(DeltaTime.ByteCount() + 3);
}

void TMidiNoteONEvent::WriteToStream(ByteStream& stream) const {
    TMidiEvent::WriteToStream(stream);
    stream.WriteByte(Note);
    stream.WriteByte(Velocity);
}

void TMidiNoteONEvent::ReadFromStream(ByteStream& stream) {
    stream.ReadByte(Note);
    stream.ReadByte(Velocity);
}

std::uint8_t TMidiNoteOFFEvent::Size() const {
    return static_cast<std::uint8_t>(DeltaTime.ByteCount() + 3);
}

void TMidiNoteOFFEvent::WriteToStream(ByteStream& stream) const {
    TMidiEvent::WriteToStream(stream);
    stream.WriteByte(Note);
    stream.WriteByte(0x00);
}

void TMidiNoteOFFEvent::ReadFromStream(ByteStream& stream) {
    stream.ReadByte(Note);
    std::uint8_t releaseVelocity = 0;
    stream.ReadByte(releaseVelocity);
}

std::uint8_t TMidiChangePatchEvent::Size() const {
    return static_cast<std::uint8_t>(DeltaTime.ByteCount() + 2);
}

void TMidiChangePatchEvent::WriteToStream(ByteStream& stream) const {
    TMidiEvent::WriteToStream(stream);
    stream.WriteByte(Patch);
}

void TMidiChangePatchEvent::ReadFromStream(ByteStream& stream) {
    stream.ReadByte(Patch);
}

} // namespace kadrel
