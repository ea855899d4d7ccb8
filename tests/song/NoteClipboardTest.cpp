#include "song/NoteClipboard.h"
#include "core/SmfBytes.h"
#include "midi/SmfReader.h"
#include "song/NoteText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kadrel::test {
namespace {

std::vector<std::string> Describe(const ClipboardNotes& notes) {
    std::vector<std::string> out;
    for (const TMidiNote& n : notes)
        out.push_back(test::NoteText(n));
    return out;
}

TEST(NoteClipboard, KadrelsTextKeepsTheNotesFromTheEarliest) {
    const TMidiNote a{64, 40, 8, 3, 5};
    const TMidiNote b{60, 32, 16, 3, 5};
    const ClipboardNotes notes = ClipboardNotesOf({&a, &b});
    EXPECT_EQ(Describe(notes), (std::vector<std::string>{"64@8+8 c3 t0", "60@0+16 c3 t0"}));
    const std::string text = EncodeClipboardNotes(notes);
    EXPECT_EQ(text, "Kadrel notes 1\n64 8 8 3\n60 0 16 3\n");
    const auto back = DecodeClipboardNotes(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(Describe(*back), Describe(notes));
}

TEST(NoteClipboard, TextsThatHoldNoUsableNote) {
    const char* const texts[] = {
        "",
        "Kadrel notes 1\n",                     // no note
        "Kadrel notes 2\n60 0 16 0\n",          // another version
        "Kadrel notes 1\n60 0 16 0",            // the last line cut short
        "Kadrel notes 1\n128 0 16 0\n",         // not a note number
        "Kadrel notes 1\n60 -1 16 0\n",         // before the song
        "Kadrel notes 1\n60 0 -1 0\n",          // a negative length
        "Kadrel notes 1\n60 2147483640 8 0\n",  // ends beyond the last position
        "Kadrel notes 1\n60 0 16 16\n",         // not a channel
        "Kadrel notes 1\n60 0 16 0 1\n",        // one number too many
        "Kadrel notes 1\n60  0 16 0\n",         // an empty number
        "Kadrel notes 1\n60 0x10 16 0\n",       // not decimal
        "Kadrel notes 1\n60 99999999999 1 0\n", // far too large
    };
    for (const char* text : texts)
        EXPECT_FALSE(DecodeClipboardNotes(text)) << text;
}

// The file the clipboard carries for other programs, byte for byte: the track's program change,
// then the notes from position 0 on their own channels.
TEST(NoteClipboard, MidiFileOfTheNotes) {
    const TMidiNote a{60, 100, 16, 0, 2};
    const TMidiNote b{64, 108, 8, 1, 2};
    const auto bytes = ClipboardMidiFile(ClipboardNotesOf({&a, &b}), {"Basse", 2, 33});
    EXPECT_EQ(Hex(bytes), "4D 54 68 64 00 00 00 06 00 01 00 01 00 10 "
                          "4D 54 72 6B 00 00 00 17 00 C2 21 00 90 3C 7F 08 91 40 7F "
                          "08 80 3C 00 00 81 40 00 00 FF 2F 00");
    EXPECT_EQ(Describe(NotesOfMidiFile(bytes)),
              (std::vector<std::string>{"60@0+16 c0 t0", "64@8+8 c1 t0"}));
}

// What other programs put there is read as the import reads files: running status, a note-on of
// velocity 0 as note-off, every track and channel, ticks scaled to 16 per quarter note.
TEST(NoteClipboard, NotesOfAnotherProgramsFile) {
    const Bytes file = Smf(1, 96,
                           {{0x60, 0x90, 60, 100, 0x60, 60, 0, 0x00, 0xFF, 0x2F, 0x00},
                            {0x81, 0x40, 0x95, 67, 90, 0x30, 0x85, 67, 0, 0x00, 0xFF, 0x2F, 0x00}});
    EXPECT_EQ(Describe(NotesOfMidiFile(file)),
              (std::vector<std::string>{"60@0+16 c0 t0", "67@16+8 c5 t0"}));
    EXPECT_THROW(NotesOfMidiFile(Bytes{'n', 'o', 'p', 'e'}), SmfReadError);
}

} // namespace
} // namespace kadrel::test

namespace kadrel::test {
namespace {

// Notes of an imported song keep their velocities and their song's division; pasted into a
// song of another division they land at its ticks.
TEST(NoteClipboard, VelocitiesAndDivisions) {
    TMidiNote a{60, 960, 240, 0, 4};
    a.Velocity = 64;
    a.StartOrder = 7; // from a file: on the clipboard it is a new note
    TMidiNote b{67, 1080, 120, 1, 4};
    b.End = NoteEnd::Never;
    const ClipboardNotes notes = ClipboardNotesOf({&a, &b});
    const std::string text = EncodeClipboardNotes(notes, 480);
    EXPECT_EQ(text, "Kadrel notes 2 480\n60 0 240 0 64\n67 120 120 1 127\n");
    const struct {
        std::uint16_t division;
        std::vector<std::string> notes;
    } pasted[] = {
        {480, {"60@0+240 c0 t0", "67@120+120 c1 t0"}},
        {16, {"60@0+8 c0 t0", "67@4+4 c1 t0"}},
        {120, {"60@0+60 c0 t0", "67@30+30 c1 t0"}},
    };
    for (const auto& p : pasted) {
        const auto back = DecodeClipboardNotes(text, p.division);
        ASSERT_TRUE(back) << p.division;
        EXPECT_EQ(Describe(*back), p.notes) << p.division;
        EXPECT_EQ((*back)[0].Velocity, 64);
        EXPECT_FALSE((*back)[0].FromFile());
        EXPECT_EQ((*back)[1].End, NoteEnd::NoteOff) << "a pasted note ends";
    }
    EXPECT_FALSE(DecodeClipboardNotes("Kadrel notes 2 0\n60 0 1 0 64\n"));
    EXPECT_FALSE(DecodeClipboardNotes("Kadrel notes 2 480\n60 0 1 0 0\n"));

    // The file for other programs: the song's division, the velocities.
    const auto file = ClipboardMidiFile(notes, {"", 0, 5}, 480);
    EXPECT_EQ(Hex(file), "4D 54 68 64 00 00 00 06 00 01 00 01 01 E0 "
                         "4D 54 72 6B 00 00 00 17 00 C0 05 00 90 3C 40 78 91 43 7F 78 80 3C 00 "
                         "00 81 43 00 00 FF 2F 00");
    EXPECT_EQ(Describe(NotesOfMidiFile(file, 960)),
              (std::vector<std::string>{"60@0+480 c0 t0", "67@240+240 c1 t0"}));
    EXPECT_EQ(NotesOfMidiFile(file, 960)[0].Velocity, 64);
}

} // namespace
} // namespace kadrel::test
