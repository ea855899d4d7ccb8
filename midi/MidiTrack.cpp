#include "midi/MidiTrack.h"

#include "midi/ByteStream.h"
#include "midi/FileBytes.h"
#include "util/Error.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <stdexcept>

namespace kadrel {

namespace {

const char* const InvalidFormatText = "Invalid MIDI file format.";

enum class ReadResult { Complete, EndOfData };

// Collects the bytes of a variable-length quantity into an eight-byte buffer, as far as the
// data goes. A quantity whose eight bytes all continue is refused: it cannot be a valid time.
ReadResult ReadQuantity(ByteStream& stream, std::array<std::uint8_t, 8>& raw) {
    raw.fill(0);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (!stream.ReadByte(raw[i]))
            return ReadResult::EndOfData;
        if ((raw[i] & 0x80) == 0)
            return ReadResult::Complete;
    }
    throw Error(InvalidFormatText);
}

// Number of data bytes that follow the status byte of a kept event.
std::size_t DataBytes(std::uint8_t kind) {
    return kind == 0xC0 ? 1 : 2;
}

std::unique_ptr<TMidiEvent> CreateEvent(std::uint8_t kind) {
    switch (kind) {
    case 0x80:
        return std::make_unique<TMidiNoteOFFEvent>();
    case 0x90:
        return std::make_unique<TMidiNoteONEvent>();
    case 0xC0:
        return std::make_unique<TMidiChangePatchEvent>();
    default:
        throw Error(InvalidFormatText);
    }
}

void WriteBigEndian32(ByteStream& stream, std::uint32_t value) {
    const std::uint32_t swapped = SwapBytes32(value);
    stream.Write(&swapped, 4);
}

} // namespace

void TMidiTrack::LoadFromStream(ByteStream& stream) {
    try {
        ReadChunk(stream);
        // Whatever a declared length made the list reserve beyond what it holds is given back,
        // so that the tracks of a file never keep more than their events need.
        if (Events.capacity() > 2 * Events.size() + 64)
            Events.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        throw Error(OutOfMemoryText);
    } catch (const std::length_error&) {
        throw Error(OutOfMemoryText);
    }
}

void TMidiTrack::ReadChunk(ByteStream& stream) {
    char type[4] = {};
    std::uint8_t length[4] = {};
    stream.Read(type, 4);
    stream.Read(length, 4);
    if (std::memcmp(type, "MTrk", 4) != 0)
        throw Error(InvalidFormatText);

    // The events decide where the track ends; the chunk length only sizes the event list, and
    // only when the data really holds that many bytes: a length beyond the end of the file is
    // a lie that would otherwise make every track of a small file reserve as much as the file.
    const std::uint32_t declared = BigEndianAt(length, 0, 4);
    if (declared <= stream.Size() - std::min(stream.Position(), stream.Size()))
        Events.reserve(Events.size() + declared / 4);

    // Delta time of meta events passed over, owed to the next event that is kept, so that the
    // events after a marker or a tempo change keep their time.
    std::uint64_t carried = 0;
    std::array<std::uint8_t, 8> raw{};
    while (!stream.AtEnd()) {
        if (ReadQuantity(stream, raw) == ReadResult::EndOfData)
            return;
        std::uint8_t status = 0;
        if (!stream.ReadByte(status))
            return;

        if (status == 0xFF) {
            std::uint8_t metaType = 0;
            if (!stream.ReadByte(metaType))
                return;
            if (metaType == 0x2F) {
                std::uint8_t metaLength = 0;
                stream.ReadByte(metaLength);
                return;
            }
            std::array<std::uint8_t, 8> lengthBytes{};
            if (ReadQuantity(stream, lengthBytes) == ReadResult::EndOfData)
                return;
            vlv skipped;
            skipped.SetBytes(lengthBytes);
            vlv delta;
            delta.SetBytes(raw);
            carried += delta.GetValue();
            const std::size_t skip =
                std::min<std::size_t>(skipped.GetValue(), stream.Size() - stream.Position());
            stream.Seek(stream.Position() + skip);
            continue;
        }

        const auto kind = static_cast<std::uint8_t>(status & 0xF0);
        auto event = CreateEvent(kind);
        if (stream.Size() - stream.Position() < DataBytes(kind))
            return;
        event->ReadFromStream(stream);
        event->DeltaTime.SetBytes(raw);
        if (carried != 0) {
            const std::uint64_t total = carried + event->DeltaTime.GetValue();
            event->DeltaTime.SetValue(
                static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0xFFFFFFFFu)));
            carried = 0;
        }
        event->Channel = static_cast<std::uint8_t>(status & 0x0F);
        Events.push_back(std::move(event));
    }
}

std::uint32_t TMidiTrack::DataSize() const {
    std::uint32_t size = 0;
    for (const auto& event : Events)
        size += event->Size();
    return size;
}

void TMidiTrack::SaveToStream(ByteStream& stream) const {
    // The closing end-of-track event is written here rather than kept in Events, so the track
    // is the same after a save as before.
    const TMidiEndOfTrackEvent endOfTrack;
    stream.Write("MTrk", 4);
    WriteBigEndian32(stream, DataSize() + endOfTrack.Size());
    for (const auto& event : Events)
        event->WriteToStream(stream);
    endOfTrack.WriteToStream(stream);
}

} // namespace kadrel
