#include "midi/Midi.h"

#include "midi/ByteStream.h"
#include "midi/FileBytes.h"
#include "util/Error.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace kadrel {

namespace {

const char* const InvalidFormatText = "Invalid MIDI file format.";

std::uint16_t ReadBigEndian16(ByteStream& stream) {
    std::uint8_t bytes[2] = {};
    stream.Read(bytes, 2);
    return static_cast<std::uint16_t>(BigEndianAt(bytes, 0, 2));
}

void WriteBigEndian16(ByteStream& stream, std::uint16_t value) {
    const std::uint16_t swapped = SwapBytes16(value);
    stream.Write(&swapped, 2);
}

} // namespace

void TMidi::LoadFromFile(const std::string& FileName) {
    ByteStream stream;
    stream.LoadFromFile(FileName);
    LoadFromStream(stream);
}

void TMidi::LoadFromStream(ByteStream& stream) {
    // However the file is made, running out of memory while reading it gives the stream's own
    // error, never a bare allocation failure.
    try {
        ReadChunks(stream);
    } catch (const std::bad_alloc&) {
        throw Error(OutOfMemoryText);
    } catch (const std::length_error&) {
        throw Error(OutOfMemoryText);
    }
}

void TMidi::ReadChunks(ByteStream& stream) {
    char type[4] = {};
    std::uint8_t length[4] = {};
    stream.Read(type, 4);
    stream.Read(length, 4);
    static const std::uint8_t six[4] = {0, 0, 0, 6};
    if (std::memcmp(type, "MThd", 4) != 0 || std::memcmp(length, six, 4) != 0)
        throw Error(InvalidFormatText);

    const std::uint16_t format = ReadBigEndian16(stream);
    Format = format == 0 ? 0 : format == 2 ? 2 : 1;
    const std::uint16_t trackCount = ReadBigEndian16(stream);
    Division = ReadBigEndian16(stream);

    for (std::uint32_t i = 0; i < trackCount; ++i) {
        Tracks.push_back(std::make_unique<TMidiTrack>());
        Tracks.back()->LoadFromStream(stream);
    }
}

void TMidi::SaveToFile(const std::string& FileName) const {
    ByteStream stream;
    SaveToStream(stream);
    stream.SaveToFile(FileName);
}

void TMidi::SaveToStream(ByteStream& stream) const {
    std::size_t total = 14;
    for (const auto& track : Tracks)
        total += 8 + std::size_t{track->DataSize()} + 3;
    stream.Reserve(stream.Position() + total);

    stream.Write("MThd", 4);
    WriteBigEndian16(stream, 0);
    WriteBigEndian16(stream, 6);
    WriteBigEndian16(stream, Format);
    WriteBigEndian16(stream, static_cast<std::uint16_t>(Tracks.size()));
    WriteBigEndian16(stream, Division);
    for (const auto& track : Tracks)
        track->SaveToStream(stream);
}

} // namespace kadrel
