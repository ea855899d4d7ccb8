#pragma once

#include "core/TempDir.h"
#include "midi/FileBytes.h"
#include "render/WavRender.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace kadrel::test {

// A note of the song: number, start and length in positions, channel, track row.
inline NoteList Notes(std::initializer_list<TMidiNote> notes) {
    return NoteList(notes);
}

// A track row as the export plays it: its channel and its program.
struct RenderTrack {
    std::int32_t Channel = 0;
    std::int32_t Program = 0;
};

inline Song SongOf(const NoteList& notes, const std::vector<RenderTrack>& tracks) {
    Song song;
    song.Notes = notes;
    for (const RenderTrack& track : tracks)
        song.Tracks.push_back({"", track.Channel, static_cast<std::uint8_t>(track.Program)});
    return song;
}

inline bool RenderWav(const NoteList& notes, const std::vector<RenderTrack>& tracks,
                      const std::string& path, const RenderProgress& progress = {},
                      int threads = 0) {
    return kadrel::RenderWav(SongOf(notes, tracks), path, progress, threads);
}

// A WAV file as written, with its samples read back as the 44-byte header says they lie.
struct RenderedWav {
    std::vector<std::uint8_t> Bytes;
    std::vector<std::int16_t> Samples; // left, right, left, right...

    std::size_t Frames() const { return Samples.size() / 2; }
    // The first frame at or after `from` where either channel is not 0; Frames() if none.
    std::size_t FirstSound(std::size_t from = 0) const {
        for (std::size_t i = from * 2; i < Samples.size(); ++i)
            if (Samples[i] != 0)
                return i / 2;
        return Frames();
    }
    // The last frame before `end` where either channel is not 0, plus one; 0 if none.
    std::size_t SoundEnd(std::size_t end) const {
        for (std::size_t i = end * 2; i > 0; --i)
            if (Samples[i - 1] != 0)
                return (i - 1) / 2 + 1;
        return 0;
    }
    // Root mean square of both channels over frames [begin, end), in 16-bit steps.
    double Rms(std::size_t begin, std::size_t end) const {
        double sum = 0;
        for (std::size_t i = begin * 2; i < end * 2 && i < Samples.size(); ++i)
            sum += double(Samples[i]) * Samples[i];
        return end > begin ? std::sqrt(sum / double(2 * (end - begin))) : 0.0;
    }
};

inline RenderedWav ReadWav(const std::string& path) {
    RenderedWav wav;
    wav.Bytes = ReadFile(path);
    if (wav.Bytes.size() < 44)
        return wav;
    for (std::size_t i = 44; i + 1 < wav.Bytes.size(); i += 2)
        wav.Samples.push_back(static_cast<std::int16_t>(LittleEndianAt(wav.Bytes, i, 2)));
    return wav;
}

// The song rendered to a file of dir and read back. The soundfont is part of the set-up: a
// machine without one fails here, it does not skip.
inline RenderedWav Rendered(const TempDir& dir, const NoteList& notes,
                            const std::vector<RenderTrack>& tracks, int threads = 0) {
    const std::string path = dir / "song.wav";
    EXPECT_TRUE(test::RenderWav(notes, tracks, path, {}, threads));
    return ReadWav(path);
}

} // namespace kadrel::test
