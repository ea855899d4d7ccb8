#include "midi/SmfReader.h"

#include "midi/ByteStream.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace kadrel {

namespace {

bool TagAt(std::span<const std::uint8_t> bytes, std::size_t at, const char* tag) {
    return at <= bytes.size() && bytes.size() - at >= 4 && std::memcmp(&bytes[at], tag, 4) == 0;
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t LittleEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

// The end of a chunk whose data starts at start and claims length bytes: cut at the end.
std::size_t ChunkEnd(std::size_t start, std::uint32_t length, std::size_t end) {
    return end - start < length ? end : start + length;
}

// The range of a RIFF RMID file's "data" chunk, which holds the Standard MIDI File; the whole
// data when the file is not such a wrapper.
std::pair<std::size_t, std::size_t> Unwrapped(std::span<const std::uint8_t> bytes) {
    if (!TagAt(bytes, 0, "RIFF") || !TagAt(bytes, 8, "RMID"))
        return {0, bytes.size()};
    const std::size_t riffEnd = ChunkEnd(8, LittleEndian32(&bytes[4]), bytes.size());
    std::size_t at = 12;
    while (at < riffEnd && riffEnd - at >= 8) {
        const std::uint32_t length = LittleEndian32(&bytes[at + 4]);
        const std::size_t start = at + 8;
        const std::size_t end = ChunkEnd(start, length, riffEnd);
        if (TagAt(bytes, at, "data"))
            return {start, end};
        // RIFF chunks are padded to an even length.
        at = end + (length & 1);
    }
    // A wrapper without MIDI data: nothing there is a header.
    throw SmfReadError(SmfRefusal::NoHeader, std::min<std::size_t>(12, bytes.size()));
}

// Walks one track chunk's data [start, end) of bytes.
class TrackReader {
public:
    TrackReader(std::span<const std::uint8_t> bytes, std::size_t start, std::size_t end,
                SmfTrack& track, std::uint32_t number, std::vector<SmfDrop>& dropped)
        : p_(bytes.data()), pos_(start), end_(end), track_(track), number_(number),
          dropped_(dropped) {}

    void Run() {
        std::uint8_t running = 0;
        // A channel message interrupted by a status byte is dropped; the event that this status
        // begins takes over its delta time, so the ticks of what follows stay right.
        bool interrupted = false;
        std::uint32_t carried = 0;
        while (pos_ < end_) {
            SmfEvent event;
            const std::size_t eventAt = pos_;
            if (interrupted) {
                event.Delta = carried;
                interrupted = false;
            } else if (!Quantity(event.Delta) || pos_ >= end_) {
                return Drop(SmfDropKind::CutShort, eventAt); // a dangling delta time
            }
            const std::size_t statusAt = pos_;
            std::uint8_t status = p_[pos_];
            if (status < 0x80) {
                if (running == 0)
                    throw SmfReadError(SmfRefusal::DataByteWithoutStatus, statusAt);
                status = running;
                event.Flags = SmfEvent::RunningStatusFlag;
            } else {
                ++pos_;
            }
            event.Status = status;
            if (status < 0xF0) {
                switch (ChannelData(event)) {
                case Data::Complete:
                    // Only a whole message sets the running status: one that was interrupted
                    // is gone, and what follows must not lean on it.
                    running = status;
                    break;
                case Data::CutShort:
                    return Drop(SmfDropKind::CutShort, eventAt);
                case Data::Interrupted:
                    Drop(SmfDropKind::Interrupted, pos_);
                    interrupted = true;
                    carried = event.Delta;
                    continue;
                }
            } else if (status == 0xF0 || status == 0xF7) {
                if (!Payload(event))
                    return Drop(SmfDropKind::CutShort, eventAt);
            } else if (status == 0xFF) {
                if (pos_ >= end_)
                    return Drop(SmfDropKind::CutShort, eventAt);
                event.Data1 = p_[pos_++];
                if (!Payload(event))
                    return Drop(SmfDropKind::CutShort, eventAt);
            } else {
                throw SmfReadError(SmfRefusal::SystemStatusInTrack, statusAt);
            }
            track_.Events.push_back(event);
            if (event.IsEndOfTrack())
                return;
        }
    }

private:
    enum class Data { Complete, CutShort, Interrupted };

    // A variable-length quantity of at most four bytes. False when the chunk ends inside it.
    bool Quantity(std::uint32_t& value) {
        value = 0;
        for (int count = 0; count < 4; ++count) {
            if (pos_ >= end_)
                return false;
            const std::uint8_t b = p_[pos_++];
            value = value << 7 | (b & 0x7Fu);
            if (b < 0x80)
                return true;
        }
        if (pos_ >= end_)
            return false;
        throw SmfReadError(SmfRefusal::QuantityTooLong, pos_);
    }

    // The data bytes of a channel message: one for program change and channel pressure, two
    // for the others. A status byte where a data byte should be interrupts the message; it is
    // left in place to begin the next event.
    Data ChannelData(SmfEvent& event) {
        const int count = (event.Kind() == 0xC0 || event.Kind() == 0xD0) ? 1 : 2;
        std::uint8_t data[2] = {0, 0};
        for (int i = 0; i < count; ++i) {
            if (pos_ >= end_)
                return Data::CutShort;
            if (p_[pos_] >= 0x80)
                return Data::Interrupted;
            data[i] = p_[pos_++];
        }
        event.Data1 = data[0];
        event.Data2 = data[1];
        return Data::Complete;
    }

    void Drop(SmfDropKind kind, std::size_t at) { dropped_.push_back({kind, number_, at}); }

    const std::uint8_t* p_;
    std::size_t pos_;
    std::size_t end_;
    SmfTrack& track_;
    std::uint32_t number_;
    std::vector<SmfDrop>& dropped_;

    // The payload of a sysex or meta event: its length, then that many bytes. False when the
    // chunk ends before them.
    bool Payload(SmfEvent& event) {
        std::uint32_t length = 0;
        if (!Quantity(length))
            return false;
        if (end_ - pos_ < length)
            return false;
        event.DataOffset = static_cast<std::uint32_t>(pos_ - track_.DataStart);
        event.DataLength = length;
        pos_ += length;
        return true;
    }
};

} // namespace

SmfReadError::SmfReadError(SmfRefusal reason, std::size_t offset)
    : Error(std::string(SmfRefusalName(reason)) + " at offset " + std::to_string(offset)),
      reason_(reason), offset_(offset) {}

const char* SmfRefusalName(SmfRefusal reason) {
    switch (reason) {
    case SmfRefusal::NoHeader:
        return "No MThd header";
    case SmfRefusal::HeaderCutShort:
        return "Header cut short";
    case SmfRefusal::HeaderTooShort:
        return "Header length below 6";
    case SmfRefusal::ZeroDivision:
        return "Division of 0";
    case SmfRefusal::DataByteWithoutStatus:
        return "Data byte without running status";
    case SmfRefusal::SystemStatusInTrack:
        return "System status byte in a track";
    case SmfRefusal::QuantityTooLong:
        return "Delta time or length of more than four bytes";
    }
    return "Unreadable file";
}

namespace {

// The most events reserved for a track before reading it (64 MB).
constexpr std::size_t MaxReserved = std::size_t{1} << 22;

SmfFile Read(std::span<const std::uint8_t> bytes) {
    SmfFile file;
    file.Bytes = bytes;
    const auto [begin, end] = Unwrapped(bytes);
    if (!TagAt(bytes.first(end), begin, "MThd"))
        throw SmfReadError(SmfRefusal::NoHeader, begin);
    if (end - begin < 8)
        throw SmfReadError(SmfRefusal::HeaderCutShort, end);
    const std::uint32_t headerLength = BigEndian32(&bytes[begin + 4]);
    if (headerLength < 6)
        throw SmfReadError(SmfRefusal::HeaderTooShort, begin + 4);
    if (end - begin < 14)
        throw SmfReadError(SmfRefusal::HeaderCutShort, end);
    const std::uint8_t* h = &bytes[begin + 8];
    file.Format = static_cast<std::uint16_t>(h[0] << 8 | h[1]);
    const unsigned declared = h[2] << 8 | h[3];
    file.Division = static_cast<std::uint16_t>(h[4] << 8 | h[5]);
    // A time-code division needs ticks in each frame as much as a metrical one needs ticks in
    // each quarter note.
    const bool timeCode = (file.Division & 0x8000) != 0;
    if (file.Division == 0 || (timeCode && (file.Division & 0xFF) == 0))
        throw SmfReadError(SmfRefusal::ZeroDivision, begin + (timeCode ? 13 : 12));

    std::size_t at = ChunkEnd(begin + 8, headerLength, end);
    while (end - at >= 8) {
        const std::uint32_t length = BigEndian32(&bytes[at + 4]);
        const std::size_t start = at + 8;
        const std::size_t chunkEnd = ChunkEnd(start, length, end);
        const auto count = static_cast<std::uint32_t>(file.Tracks.size());
        if (TagAt(bytes, at, "MTrk") && count < declared) {
            SmfTrack& track = file.Tracks.emplace_back();
            track.DataStart = start;
            // Events take three bytes or more as files are written: room for that many at once
            // spares copying a large track as it grows. Memory not used is never touched.
            track.Events.reserve(std::min<std::size_t>((chunkEnd - start) / 3, MaxReserved));
            TrackReader(bytes, start, chunkEnd, track, count, file.Dropped).Run();
        } else {
            SmfChunk& chunk = file.OtherChunks.emplace_back();
            std::copy_n(&bytes[at], 4, chunk.Id.begin());
            chunk.DataStart = start;
            chunk.Length = chunkEnd - start;
            chunk.BeforeTrack = count;
        }
        at = chunkEnd;
    }
    return file;
}

} // namespace

SmfFile ReadSmf(std::span<const std::uint8_t> bytes) {
    try {
        return Read(bytes);
    } catch (const std::bad_alloc&) {
        throw Error(OutOfMemoryText);
    } catch (const std::length_error&) {
        throw Error(OutOfMemoryText);
    }
}

} // namespace kadrel
