#include "song/TrackEdits.h"
#include "core/SmfBytes.h"
#include "song/NoteText.h"
#include "song/SongSave.h"
#include "song/TolerantImport.h"

#include <gtest/gtest.h>

#include <functional>

namespace kadrel::test {
namespace {

// A conductor track whose program change gives channel 1 its instrument; a piano track with its
// name and program; a track without name playing channels 1 and 2.
const Bytes File =
    Smf(1, 96,
        {{0, 0xFF, 0x03, 4, 'C', 'o', 'n', 'd', 0, 0xC1, 0x30, 0, 0xFF, 0x2F, 0},
         {0,    0xFF, 0x03, 3,  'P',  'n', 'o', 0, 0xC0, 5, 0,    0xB0, 7,    100,  0,
          0x90, 60,   100,  96, 0x80, 60,  0,   0, 0xE0, 0, 0x40, 0,    0xFF, 0x2F, 0},
         {0, 0x91, 64, 100, 0, 0x92, 67, 100, 96, 0x81, 64,   0,
          0, 0x82, 67, 0,   0, 0xB1, 10, 32,  0,  0xFF, 0x2F, 0}});

// The data of each track chunk of a saved song, as hex.
std::vector<std::string> TrackData(const Bytes& file) {
    std::vector<std::string> tracks;
    for (std::size_t at = 14; at + 8 <= file.size();) {
        const std::size_t length =
            std::size_t{file[at + 4]} << 24 | file[at + 5] << 16 | file[at + 6] << 8 | file[at + 7];
        tracks.push_back(Hex(Bytes(file.begin() + at + 8, file.begin() + at + 8 + length)));
        at += 8 + length;
    }
    return tracks;
}

std::vector<std::string> Rows(const Song& song) {
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < song.Tracks.size(); ++i)
        rows.push_back(TrackText(song.Tracks[i], i));
    return rows;
}

SongTrack With(SongTrack track, const char* name, int channel, int program) {
    track.Name = name;
    track.Channel = channel;
    track.Program = static_cast<std::uint8_t>(program);
    return track;
}

TEST(TrackEdits, ImportedSongsChangeTheirFilesAndUndoExactly) {
    const Song original = ImportSmf(ReadSmf(File)).Content;
    const std::vector<std::string> tracks = TrackData(SongFileBytes(original));
    const struct {
        const char* what;
        std::function<TrackEditUndo(Song&)> edit;
        std::size_t track; // the track chunk that changes
        std::string data;  // its data afterwards
        std::vector<std::string> rows;
    } cases[] = {
        {"renaming sets the track's name event",
         [](Song& s) { return ChangeRow(s, 0, With(s.Tracks[0], "Piano", 0, 5)); },
         1,
         "00 FF 03 05 50 69 61 6E 6F 00 C0 05 00 B0 07 64 00 90 3C 64 60 80 3C 00 00 E0 00 40 00 "
         "FF "
         "2F 00",
         {"0|Piano|0|005 - E.Piano 2", "1||1|048 - Strings", "2||2|000 - Piano 1"}},
        {"renaming a track without name adds one; both its rows take it",
         [](Song& s) { return ChangeRow(s, 2, With(s.Tracks[2], "Cordes", 2, 0)); },
         2,
         "00 FF 03 06 43 6F 72 64 65 73 00 91 40 64 00 92 43 64 60 81 40 00 00 82 43 00 00 B1 0A "
         "20 "
         "00 FF 2F 00",
         {"0|Pno|0|005 - E.Piano 2", "1|Cordes|1|048 - Strings", "2|Cordes|2|000 - Piano 1"}},
        {"a channel change moves the notes and the channel's events",
         [](Song& s) { return ChangeRow(s, 0, With(s.Tracks[0], "Pno", 3, 5)); },
         1,
         "00 FF 03 03 50 6E 6F 00 C3 05 00 B3 07 64 00 93 3C 64 60 83 3C 00 00 E3 00 40 00 FF 2F "
         "00",
         {"0|Pno|3|005 - E.Piano 2", "1||1|048 - Strings", "2||2|000 - Piano 1"}},
        {"an instrument from another track is added on the new channel",
         [](Song& s) { return ChangeRow(s, 1, With(s.Tracks[1], "", 4, 48)); },
         2,
         "00 C4 30 00 94 40 64 00 92 43 64 60 84 40 00 00 82 43 00 00 B4 0A 20 00 FF 2F 00",
         {"0|Pno|0|005 - E.Piano 2", "1||4|048 - Strings", "2||2|000 - Piano 1"}},
        {"an instrument change sets the program change that gave it",
         [](Song& s) { return ChangeRow(s, 1, With(s.Tracks[1], "", 1, 7)); },
         0,
         "00 FF 03 04 43 6F 6E 64 00 C1 07 00 FF 2F 00",
         {"0|Pno|0|005 - E.Piano 2", "1||1|007 - Clavinet", "2||2|000 - Piano 1"}},
        {"an instrument without a program change adds one",
         [](Song& s) { return ChangeRow(s, 2, With(s.Tracks[2], "", 2, 9)); },
         2,
         "00 C2 09 00 91 40 64 00 92 43 64 60 81 40 00 00 82 43 00 00 B1 0A 20 00 FF 2F 00",
         {"0|Pno|0|005 - E.Piano 2", "1||1|048 - Strings", "2||2|009 - Glockenspiel"}},
        {"name, channel and instrument at once",
         [](Song& s) { return ChangeRow(s, 2, With(s.Tracks[2], "X", 5, 10)); },
         2,
         "00 FF 03 01 58 00 C5 0A 00 91 40 64 00 95 43 64 60 81 40 00 00 85 43 00 00 B1 0A 20 00 "
         "FF "
         "2F 00",
         {"0|Pno|0|005 - E.Piano 2", "1|X|1|048 - Strings", "2|X|5|010 - Music Box"}},
        {"a new row gets a new track at the end",
         [](Song& s) {
             return AddRow(s, {"Basse", 5, 33});
         },
         3,
         "00 FF 03 05 42 61 73 73 65 00 C5 21 00 FF 2F 00",
         {"0|Pno|0|005 - E.Piano 2", "1||1|048 - Strings", "2||2|000 - Piano 1",
          "3|Basse|5|033 - Fingered Bass"}},
        {"a deleted row takes its notes and its channel's events out of its track",
         [](Song& s) { return DeleteRow(s, 0); },
         1,
         "00 FF 03 03 50 6E 6F 60 FF 2F 00",
         {"0||1|048 - Strings", "1||2|000 - Piano 1"}},
    };
    for (const auto& c : cases) {
        Song song = original;
        TrackEditUndo undo = c.edit(song);
        const Bytes saved = SongFileBytes(song);
        std::vector<std::string> expected = tracks;
        expected.resize(std::max(expected.size(), c.track + 1));
        expected[c.track] = c.data;
        EXPECT_EQ(TrackData(saved), expected) << c.what;
        EXPECT_EQ(Rows(song), c.rows) << c.what;
        UndoTrackEdit(song, std::move(undo));
        EXPECT_EQ(song, original) << c.what;
        c.edit(song);
        EXPECT_EQ(SongFileBytes(song), saved) << c.what << ": redone";
    }
}

// Kadrel's own songs change their rows only, and a deletion renumbers the later rows' notes.
TEST(TrackEdits, KadrelSongsChangeTheirRows) {
    Song original;
    original.Tracks = {{"A", 0, 1, 0}, {"B", 1, 2, 1}, {"C", 2, 3, 2}};
    original.Notes = {TMidiNote{60, 0, 16, 0, 0}, TMidiNote{62, 0, 16, 1, 1},
                      TMidiNote{64, 0, 16, 2, 2}, TMidiNote{65, 8, 16, 1, 1}};
    Song song = original;
    TrackEditUndo undo = ChangeRow(song, 1, {"Bb", 5, 7});
    EXPECT_EQ(Rows(song)[1], "1|Bb|5|007 - Clavinet");
    EXPECT_EQ(NoteTexts(song.Notes), NoteTexts(original.Notes));
    UndoTrackEdit(song, std::move(undo));
    EXPECT_EQ(song, original);

    undo = DeleteRow(song, 1);
    EXPECT_EQ(Rows(song),
              (std::vector<std::string>{"0|A|0|001 - Piano 2", "1|C|2|003 - Honky Tonk"}));
    EXPECT_EQ(NoteTexts(song.Notes), (std::vector<std::string>{"60@0+16 c0 t0", "64@0+16 c2 t1"}));
    EXPECT_EQ(song.Tracks[1].FileTrack, 1u);
    UndoTrackEdit(song, std::move(undo));
    EXPECT_EQ(song, original);

    undo = AddRow(song, {"D", 3, 4});
    EXPECT_EQ(song.Tracks[3].FileTrack, 3u);
    UndoTrackEdit(song, std::move(undo));
    EXPECT_EQ(song, original);
}

} // namespace
} // namespace kadrel::test
