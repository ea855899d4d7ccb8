#pragma once

#include "util/Error.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kadrel {

// Why the tolerant reader refused a file.
enum class SmfRefusal : std::uint8_t {
    NoHeader,              // the data does not begin with "MThd" (nor holds one in a RIFF RMID)
    HeaderCutShort,        // the file ends inside the header's format, track count or division
    HeaderTooShort,        // a header length below 6
    ZeroDivision,          // a division of 0, or a time-code division of 0 ticks per frame
    DataByteWithoutStatus, // a data byte where a status byte must be, no running status in force
    SystemStatusInTrack,   // a status byte F1 to FE other than F0, F7 and FF inside a track
    QuantityTooLong,       // a delta time or a length of more than four bytes
};

// A file the tolerant reader refuses: the reason and the offset in the file of the offending
// byte. The message is a short English one; the editor words its own French text from the two.
class SmfReadError : public Error {
public:
    SmfReadError(SmfRefusal reason, std::size_t offset);
    SmfRefusal Reason() const { return reason_; }
    std::size_t Offset() const { return offset_; }

private:
    SmfRefusal reason_;
    std::size_t offset_;
};

// One event of a track as the tolerant reader keeps it: 16 bytes and no allocation of its own,
// so that a file of millions of events reads fast and in memory linear in its size.
struct SmfEvent {
    std::uint32_t Delta = 0;      // ticks since the previous event of the track, < 2^28
    std::uint32_t DataOffset = 0; // sysex and meta payload: where it starts in the track's data
    std::uint32_t DataLength = 0; //   and how many bytes it has
    std::uint8_t Status = 0;      // 0x80..0xEF (channel message), 0xF0, 0xF7 or 0xFF
    std::uint8_t Data1 = 0;       // first data byte of a channel message; type of a meta event
    std::uint8_t Data2 = 0;       // second data byte (0 for program change, channel pressure)
    std::uint8_t Flags = 0;       // RunningStatusFlag when the status byte was not in the file

    static constexpr std::uint8_t RunningStatusFlag = 1;

    bool IsChannel() const { return Status < 0xF0; }
    std::uint8_t Kind() const { return Status & 0xF0; }    // of a channel message
    std::uint8_t Channel() const { return Status & 0x0F; } // of a channel message
    bool IsMeta() const { return Status == 0xFF; }
    bool IsSysEx() const { return Status == 0xF0 || Status == 0xF7; }
    bool IsEndOfTrack() const { return Status == 0xFF && Data1 == 0x2F; }
};

// One track chunk: its events in file order, up to and including an end-of-track event when
// the chunk holds one (anything after it in the chunk is not read).
struct SmfTrack {
    std::size_t DataStart = 0; // offset in the file of the chunk's first data byte
    std::vector<SmfEvent> Events;
};

// What the reader could not read in a file it accepts, and so left out.
enum class SmfDropKind : std::uint8_t {
    CutShort,    // an event cut by the end of its chunk (and what followed it there)
    Interrupted, // a channel message cut by a status byte where a data byte belongs
};

// Something left out, and where: the track chunk (counted from 0) and the offset in the file of
// the byte at fault (the first byte of a cut event, the status byte of an interruption).
struct SmfDrop {
    SmfDropKind Kind = SmfDropKind::CutShort;
    std::uint32_t Track = 0;
    std::size_t Offset = 0;

    bool operator==(const SmfDrop&) const = default;
};

// A chunk not read as a track: of another type, or a track chunk beyond those the header
// declares. Its data lies in the file's bytes (cut at the end of the file).
struct SmfChunk {
    std::array<char, 4> Id{};
    std::size_t DataStart = 0;
    std::size_t Length = 0;
    std::uint32_t BeforeTrack = 0; // the number of tracks read before it
};

// What the tolerant reader found. It refers to the bytes it was read from for the payloads of
// sysex and meta events: they must outlive it.
struct SmfFile {
    std::uint16_t Format = 0;   // as stored: 0, 1, 2 (other values are kept as they are)
    std::uint16_t Division = 0; // as stored; top bit set: time-code (frames, ticks per frame)
    std::vector<SmfTrack> Tracks;
    std::vector<SmfChunk> OtherChunks;   // in file order
    std::vector<SmfDrop> Dropped;        // in file order
    std::span<const std::uint8_t> Bytes; // the whole file

    // The payload of a sysex or meta event of track.
    std::span<const std::uint8_t> Payload(const SmfTrack& track, const SmfEvent& event) const {
        return Bytes.subspan(track.DataStart + event.DataOffset, event.DataLength);
    }
    std::span<const std::uint8_t> Data(const SmfChunk& chunk) const {
        return Bytes.subspan(chunk.DataStart, chunk.Length);
    }
};

// Reads a Standard MIDI File as real files hold it: formats 0, 1 and 2; a header of 6 bytes or
// more; chunks other than MTrk kept aside; the tracks present when fewer than declared; each
// track within its chunk length (cut at the end of the file); a RIFF RMID wrapper; running
// status (not cancelled by sysex or meta events); every channel message, sysex and meta event.
// An event cut short by the end of its chunk is dropped and ends the track; a channel message
// interrupted by a status byte is dropped; both are told in Dropped. Throws SmfReadError for
// what cannot be read, and Error(OutOfMemoryText) when memory runs out. Never reads outside
// bytes, and allocates only for what is present.
SmfFile ReadSmf(std::span<const std::uint8_t> bytes);

// A short English description of a refusal, for logs and the error's what().
const char* SmfRefusalName(SmfRefusal reason);

} // namespace kadrel
