#include "midi/SmfReader.h"

#include "midi/ByteStream.h"
#include "midi/FileBytes.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

namespace kadrel {

namespace {

// The range of a RIFF RMID file's "data" chunk, which holds the Standard MIDI File; the whole
// data when the file is not such a wrapper.
std::pair<std::size_t, std::size_t> Unwrapped(ByteSpan bytes) {
    const auto riff = RiffForm(bytes, "RMID");
    if (!riff)
        return {0, bytes.size()};
    if (const auto data = FindRiffChunk(bytes, *riff, "data"))
        return {data->Start(), data->End};
    // A wrapper without MIDI data: nothing there is a header.
    throw SmfReadError(SmfRefusal::NoHeader, std::min<std::size_t>(12, bytes.size()));
}

// Walks one track chunk's data [start, end) of bytes.
class TrackReader {
public:
    TrackReader(ByteSpan bytes, std::size_t start, std::size_t end, SmfTrack& track,
                std::uint32_t number, std::vector<SmfDrop>& dropped)
        : bytes_(bytes.first(end)), pos_(start), end_(end), track_(track), number_(number),
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
            } else if (!ReadQuantity(event.Delta) || pos_ >= end_) {
                return Drop(SmfDropKind::CutShort, eventAt); // a dangling delta time
            }
            const std::size_t statusAt = pos_;
            std::uint8_t status = bytes_[pos_];
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
                event.Data1 = bytes_[pos_++];
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
    bool ReadQuantity(std::uint32_t& value) {
        const Quantity q = QuantityAt(bytes_, pos_, 4);
        if (q.Result == Quantity::Outcome::TooLong)
            throw SmfReadError(SmfRefusal::QuantityTooLong, pos_ + q.Length);
        if (q.Result == Quantity::Outcome::CutShort)
            return false;
        value = q.Value;
        pos_ += q.Length;
        return true;
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
            if (bytes_[pos_] >= 0x80)
                return Data::Interrupted;
            data[i] = bytes_[pos_++];
        }
        event.Data1 = data[0];
        event.Data2 = data[1];
        return Data::Complete;
    }

    void Drop(SmfDropKind kind, std::size_t at) { dropped_.push_back({kind, number_, at}); }

    ByteSpan bytes_; // the file up to the end of the chunk
    std::size_t pos_;
    std::size_t end_;
    SmfTrack& track_;
    std::uint32_t number_;
    std::vector<SmfDrop>& dropped_;

    // The payload of a sysex or meta event: its length, then that many bytes. False when the
    // chunk ends before them.
    bool Payload(SmfEvent& event) {
        std::uint32_t length = 0;
        if (!ReadQuantity(length))
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
    const ByteSpan smf = bytes.first(end);
    if (!TagAt(smf, begin, "MThd"))
        throw SmfReadError(SmfRefusal::NoHeader, begin);
    const auto header = ChunkAt(smf, begin, ByteOrder::BigEndian);
    if (!header)
        throw SmfReadError(SmfRefusal::HeaderCutShort, end);
    if (header->Length < 6)
        throw SmfReadError(SmfRefusal::HeaderTooShort, begin + 4);
    if (end - begin < 14)
        throw SmfReadError(SmfRefusal::HeaderCutShort, end);
    const std::size_t h = header->Start();
    file.Format = static_cast<std::uint16_t>(BigEndianAt(smf, h, 2));
    const std::uint32_t declared = BigEndianAt(smf, h + 2, 2);
    file.Division = static_cast<std::uint16_t>(BigEndianAt(smf, h + 4, 2));
    // A time-code division needs ticks in each frame as much as a metrical one needs ticks in
    // each quarter note.
    const bool timeCode = (file.Division & 0x8000) != 0;
    if (file.Division == 0 || (timeCode && (file.Division & 0xFF) == 0))
        throw SmfReadError(SmfRefusal::ZeroDivision, begin + (timeCode ? 13 : 12));

    std::size_t at = header->End;
    while (const auto chunk = ChunkAt(smf, at, ByteOrder::BigEndian)) {
        const auto count = static_cast<std::uint32_t>(file.Tracks.size());
        if (TagAt(smf, at, "MTrk") && count < declared) {
            SmfTrack& track = file.Tracks.emplace_back();
            track.DataStart = chunk->Start();
            // Events take three bytes or more as files are written: room for that many at once
            // spares copying a large track as it grows. Memory not used is never touched.
            track.Events.reserve(
                std::min<std::size_t>((chunk->End - chunk->Start()) / 3, MaxReserved));
            TrackReader(bytes, chunk->Start(), chunk->End, track, count, file.Dropped).Run();
        } else {
            // Chunks of other types, and tracks beyond the header's count, are kept as they are.
            SmfChunk& other = file.OtherChunks.emplace_back();
            std::copy_n(&smf[at], 4, other.Id.begin());
            other.DataStart = chunk->Start();
            other.Length = chunk->End - chunk->Start();
            other.BeforeTrack = count;
        }
        at = chunk->End;
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
