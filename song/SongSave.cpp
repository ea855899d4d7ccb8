#include "song/SongSave.h"

#include "midi/ByteStream.h"
#include "song/ImportTexts.h"
#include "song/SongConversion.h"
#include "song/TrackSequence.h"
#include "util/Error.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace kadrel {

namespace {

// The longest delta time a variable-length quantity of four bytes holds.
constexpr std::int64_t MaxDelta = 0x0FFFFFFF;

class FileWriter {
public:
    std::vector<std::uint8_t> Bytes;

    void Tag(const char* tag) { Append(reinterpret_cast<const std::uint8_t*>(tag), 4); }
    void Tag(const std::array<char, 4>& tag) { Tag(tag.data()); }
    void Byte(std::uint8_t b) { Bytes.push_back(b); }
    void Number16(std::uint32_t v) {
        Byte(static_cast<std::uint8_t>(v >> 8));
        Byte(static_cast<std::uint8_t>(v));
    }
    void Number32(std::uint32_t v) {
        Number16(v >> 16);
        Number16(v & 0xFFFF);
    }
    void PatchNumber32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            Bytes[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    }
    void Quantity(std::uint32_t value) {
        std::uint8_t groups[5];
        int count = 0;
        do {
            groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
            value >>= 7;
        } while (value != 0);
        while (count > 1)
            Byte(static_cast<std::uint8_t>(groups[--count] | 0x80));
        Byte(groups[0]);
    }
    void Append(const std::uint8_t* data, std::size_t size) {
        if (size == 0)
            return;
        const std::size_t at = Bytes.size();
        Bytes.resize(at + size);
        std::memcpy(Bytes.data() + at, data, size);
    }
};

// Writes one track chunk: its events in sequence, with running status where it is allowed.
class TrackWriter {
public:
    TrackWriter(FileWriter& out, const Song& song, const FileTrack& track)
        : out_(out), song_(song), track_(track) {}

    void Write(const std::vector<SequencedEvent>& sequence) {
        out_.Tag("MTrk");
        const std::size_t lengthAt = out_.Bytes.size();
        out_.Number32(0);
        for (const SequencedEvent& event : sequence) {
            Delta(event.Tick);
            if (event.What == SequencedEvent::Kept) {
                KeptEventBytes(track_.Events[event.Index]);
                continue;
            }
            const TMidiNote& note = song_.Notes[event.Index];
            const auto channel = static_cast<std::uint8_t>(note.Channel & 0x0F);
            const auto number = static_cast<std::uint8_t>(note.NoteNum & 0x7F);
            if (event.What == SequencedEvent::NoteStart) {
                // A note-on of velocity 0 would end a note instead of starting one.
                const auto velocity =
                    static_cast<std::uint8_t>(std::max<int>(note.Velocity & 0x7F, 1));
                ChannelMessage(0x90 | channel, number, velocity, true,
                               note.StartOrder != NoOrder &&
                                   (note.Flags & TMidiNote::StartRunningStatus) != 0);
            } else {
                const bool off = note.End == NoteEnd::NoteOff;
                ChannelMessage(
                    (off ? 0x80 : 0x90) | channel, number, off ? note.EndVelocity & 0x7F : 0, true,
                    note.EndOrder != NoOrder && (note.Flags & TMidiNote::EndRunningStatus) != 0);
            }
        }
        Delta(std::max(track_.EndTick, last_));
        const std::uint8_t end[] = {0xFF, 0x2F, 0x00};
        out_.Append(end, 3);
        out_.PatchNumber32(lengthAt, static_cast<std::uint32_t>(out_.Bytes.size() - lengthAt - 4));
    }

private:
    // A delta time longer than four bytes hold (only edits make one) is reached through empty
    // text events, which every reader passes over.
    void Delta(std::int64_t tick) {
        std::int64_t delta = std::max<std::int64_t>(tick - last_, 0);
        while (delta > MaxDelta) {
            out_.Quantity(MaxDelta);
            const std::uint8_t empty[] = {0xFF, 0x01, 0x00};
            out_.Append(empty, 3);
            delta -= MaxDelta;
        }
        out_.Quantity(static_cast<std::uint32_t>(delta));
        last_ = std::max(last_, tick);
    }

    void ChannelMessage(int status, std::uint8_t data1, std::uint8_t data2, bool twoBytes,
                        bool mayRun) {
        if (!(mayRun && status == running_))
            out_.Byte(static_cast<std::uint8_t>(status));
        running_ = status;
        out_.Byte(data1);
        if (twoBytes)
            out_.Byte(data2);
    }

    void KeptEventBytes(const KeptEvent& e) {
        if (e.Status < 0xF0) {
            const int kind = e.Status & 0xF0;
            ChannelMessage(e.Status, e.Data1 & 0x7F, e.Data2 & 0x7F, kind != 0xC0 && kind != 0xD0,
                           (e.Flags & KeptEvent::RunningStatus) != 0);
            return;
        }
        out_.Byte(e.Status);
        if (e.Status == 0xFF)
            out_.Byte(e.Data1);
        out_.Quantity(e.PayloadLength);
        out_.Append(track_.Payloads.data() + e.PayloadOffset, e.PayloadLength);
    }

    FileWriter& out_;
    const Song& song_;
    const FileTrack& track_;
    std::int64_t last_ = 0;
    int running_ = 0; // the status of the last channel message written
};

// About the size of the file, so that it is built without growing: four bytes for an event and
// its delta time, its payload, eight for a note.
std::size_t SizeOf(const Song& song) {
    std::size_t size = 14 + 8 * song.Notes.size();
    for (const FileTrack& track : song.FileTracks)
        size += 12 + 4 * track.Events.size() + track.Payloads.size();
    for (const OtherChunk& chunk : song.OtherChunks)
        size += 8 + chunk.Data.size();
    return size;
}

std::vector<std::uint8_t> FileOfImportedSong(const Song& song) {
    FileWriter out;
    out.Bytes.reserve(SizeOf(song));
    out.Tag("MThd");
    out.Number32(6);
    const std::size_t count = song.FileTracks.size();
    out.Number16(song.Format == 0 && count > 1 ? 1 : song.Format);
    out.Number16(static_cast<std::uint32_t>(count));
    out.Number16(song.Division);

    const NotesByFileTrack notes(song);
    auto chunk = song.OtherChunks.begin();
    const auto chunksBefore = [&](std::size_t track) {
        for (; chunk != song.OtherChunks.end() && chunk->BeforeTrack <= track; ++chunk) {
            out.Tag(chunk->Id);
            out.Number32(static_cast<std::uint32_t>(chunk->Data.size()));
            out.Append(chunk->Data.data(), chunk->Data.size());
        }
    };
    for (std::size_t f = 0; f < count; ++f) {
        chunksBefore(f);
        TrackWriter(out, song, song.FileTracks[f]).Write(FileTrackSequence(song, f, notes.Of(f)));
    }
    chunksBefore(std::numeric_limits<std::size_t>::max());
    return std::move(out.Bytes);
}

} // namespace

std::string TooManyTracksText(std::size_t tracks) {
    return "Impossible d'enregistrer : le morceau a " + GroupedNumber(tracks) +
           " tracks, un fichier MIDI en contient au plus " + GroupedNumber(MaxFileTracks) + ".";
}

std::vector<std::uint8_t> SongFileBytes(const Song& song) {
    const std::size_t tracks = song.KeepsFile ? song.FileTracks.size() : song.Tracks.size();
    if (tracks > MaxFileTracks)
        throw Error(TooManyTracksText(tracks));
    try {
        if (song.KeepsFile)
            return FileOfImportedSong(song);
        ByteStream stream;
        ExportSong(song).SaveToStream(stream);
        return stream.Bytes();
    } catch (const std::bad_alloc&) {
        throw Error(OutOfMemoryText);
    } catch (const std::length_error&) {
        throw Error(OutOfMemoryText);
    }
}

void SaveSong(const Song& song, const std::string& fileName) {
    ByteStream(SongFileBytes(song)).SaveToFile(fileName);
}

} // namespace kadrel
