#pragma once

#include "SongGenerator.h"
#include "midi/ByteStream.h"
#include "midi/SmfReader.h"
#include "midi/SmfWriter.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace kadrel::bench {

// The bench's songs of 1,000,000 notes as files, in a private folder of /tmp removed at exit:
// 0, the 16-track song as Kadrel writes it (division 16, every status byte, note-offs); 1, the
// same as many other programs write it (running status, note-ons of velocity 0 as note-offs);
// 2, a song as sequencers write them (division 480, velocities, controllers, pitch bends,
// names, tempo).
class ImportFiles {
public:
    static constexpr int Count = 3;

    ImportFiles() {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "kadrel-import-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return;
        folder_ = pattern;
        const std::vector<std::uint8_t> plain = MakeSongBytes(16, 1'000'000);
        SmfFile song = ReadSmf(plain);
        for (SmfTrack& track : song.Tracks)
            for (SmfEvent& e : track.Events)
                if (e.Kind() == 0x80) {
                    e.Status = static_cast<std::uint8_t>(0x90 | e.Channel());
                    e.Data2 = 0;
                }
        const std::vector<std::uint8_t> running = WriteSmf(song, SmfRunningStatus::Always);
        const char* names[Count] = {"full-status.mid", "running-status.mid", "division-480.mid"};
        for (int i = 0; i < Count; ++i)
            paths[i] = (fs::path(folder_) / names[i]).string();
        ByteStream(plain).SaveToFile(paths[0]);
        ByteStream(running).SaveToFile(paths[1]);
        ByteStream(MakeRichSongBytes(16, 1'000'000)).SaveToFile(paths[2]);
    }
    ~ImportFiles() {
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }
    bool Ready() const { return !folder_.empty(); }

    std::string paths[Count];

private:
    std::string folder_;
};

inline const ImportFiles& Files() {
    static const ImportFiles files;
    return files;
}

} // namespace kadrel::bench
