#include "editor/FileNames.h"
#include "EditorFixture.h"
#include "app/CommandLine.h"
#include "core/Bytes.h"
#include "core/TempDir.h"

#include <QWindow>

#include <gmock/gmock.h>

#include <filesystem>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

TEST(FileNames, AnyBytesCrossAQStringUnchanged) {
    const struct {
        std::string bytes;
        QString readable;
    } cases[] = {
        {"/home/u/chanson.mid", QStringLiteral("/home/u/chanson.mid")},
        {"/home/u/\xC3\xA9t\xC3\xA9.mid", QStringLiteral("/home/u/été.mid")},
        {"/home/u/caf\xE9.mid", QStringLiteral("/home/u/caf\uFFFD.mid")},
        {"/tmp/\xFF\xFE\x80/x", QStringLiteral("/tmp/\uFFFD\uFFFD\uFFFD/x")},
        {"\xED\xB3\xA9", QStringLiteral("\uFFFD\uFFFD\uFFFD")}, // a surrogate written as UTF-8
        {"\xF0\x9F\x8E\xB9", QStringLiteral("\U0001F3B9")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileNameBytes(FileNameText(c.bytes)), c.bytes) << c.readable.toStdString();
        EXPECT_EQ(ReadableFileName(c.bytes), c.readable);
    }
    // Text that came from UTF-8 is itself.
    EXPECT_EQ(FileNameText("/home/u/\xC3\xA9t\xC3\xA9.mid"), QStringLiteral("/home/u/été.mid"));
    EXPECT_EQ(FileNameBytes(QStringLiteral("\U0001F3B9")), "\xF0\x9F\x8E\xB9");
}

// A name that is not UTF-8, as the command line gives it: the song opens, saves, imports and
// is listed under that very name, and the title shows it readably.
TEST_F(EditorTest, AFileWhoseNameIsNotUtf8OpensSavesImportsAndIsListed) {
    TempDir dir;
    const std::string name = "caf\xE9.mid";
    // One track: program 19, one note.
    WriteFile(dir / name, Cat({Tag("MThd"),
                               {0, 0, 0, 6, 0, 1, 0, 1, 0, 0x10},
                               Tag("MTrk"),
                               {0, 0, 0, 15, 0x00, 0xC0, 19, 0x00, 0x90, 60, 127, 0x10, 0x80, 60, 0,
                                0x00, 0xFF, 0x2F, 0x00}}));

    // As the command line gives it: relative, taken from the current folder.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    window->OpenFileAtStart(FileNameText(AbsoluteFileName(name)));
    std::filesystem::current_path(before);
    QCoreApplication::processEvents();
    EXPECT_THAT(dialogs.Texts(), ElementsAre()) << "no box";
    EXPECT_EQ(FileName(), dir / name);
    EXPECT_EQ(Notes().size(), 1u);
    EXPECT_EQ(window->windowHandle()->title(), QStringLiteral("caf\uFFFD.mid – Kadrel"));

    AddTrack(1);
    window->EnregistrerClick();
    EXPECT_THAT(dir.Names(), ElementsAre(name));
    EXPECT_EQ(ReadFile(dir / name)[11], 2) << "saved with its second track";
    window->NouveauClick();

    dialogs.OpenNames.push_back(FileNameText(dir / name));
    window->ImporterClick();
    EXPECT_EQ(Notes().size(), 1u) << "the saved song, imported";

    dialogs.OpenNames.push_back(FileNameText(dir / name));
    window->DeasmClick();
    EXPECT_THAT(dialogs.Opened, ElementsAre(FileNameText(dir / name + ".txt")));
    const Bytes listing = ReadFile(dir / name + ".txt");
    const std::string heading = "Disassembling of " + dir / name + "\r\n";
    EXPECT_EQ(std::string(listing.begin(), listing.begin() + heading.size()), heading);
}

} // namespace
} // namespace kadrel::test
