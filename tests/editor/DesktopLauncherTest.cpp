#include "editor/DesktopLauncher.h"
#include "EditorFixture.h"
#include "core/Bytes.h"
#include "core/TempDir.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

// PATH set to one folder for as long as the object lives.
class OnlyPath {
public:
    explicit OnlyPath(const std::string& folder) : old_(std::getenv("PATH")) {
        ::setenv("PATH", folder.c_str(), 1);
    }
    ~OnlyPath() { ::setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

// A launcher of the desktop's kind that notes what it was given and ends with status.
void FakeLauncher(const std::string& folder, int status) {
    const std::string path = folder + "/xdg-open";
    std::ofstream(path) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << folder << "/given'\n"
                        << "echo 'xdg-open: no method available' >&2\nexit " << status << "\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

TEST(DesktopLauncher, SaysWhetherAProgramCouldOpenTheFileAndNothingReachesTheTerminal) {
    TempDir dir;
    const std::string file = dir / "caf\xE9.mid.txt"; // not UTF-8: the bytes go as they are
    const struct {
        const char* what;
        std::optional<int> launcherStatus; // no launcher at all when empty
        bool opened;
    } cases[] = {
        {"a launcher that opens it", 0, true},
        {"a launcher that finds no program", 3, false},
        {"no launcher", std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir bin;
        if (c.launcherStatus)
            FakeLauncher(bin.Path().string(), *c.launcherStatus);
        std::optional<bool> opened;
        testing::internal::CaptureStderr();
        {
            OnlyPath path(bin.Path().string());
            LaunchDocument(file, [&](bool result) { opened = result; });
        }
        // The launcher ends on its own; the bound only keeps a broken one from hanging the test.
        for (int i = 0; i < 3000 && !opened; ++i)
            QTest::qWait(10);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(opened, std::optional<bool>(c.opened));
        if (c.launcherStatus) {
            const Bytes given = ReadFile(bin / "given");
            EXPECT_EQ(std::string(given.begin(), given.end()), file);
        }
    }
}

// When no program can show the listing, a box says where it was written.
TEST_F(EditorTest, AListingThatNoProgramCanShowIsNamedInABox) {
    TempDir dir;
    WriteFile(dir / "x.mid", {'n', 'o', 'p', 'e'});
    dialogs.OpenFails = true;
    dialogs.OpenNames.push_back(QString::fromStdString(dir / "x.mid"));
    window->DeasmClick();
    EXPECT_THAT(dialogs.Opened, ElementsAre(QString::fromStdString(dir / "x.mid.txt")));
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Information");
    EXPECT_EQ(dialogs.Messages[0].Text.toStdString(),
              "Le désassemblage a été écrit dans le fichier " + dir / "x.mid.txt" +
                  ", mais aucun programme n'a pu l'afficher.");
    EXPECT_FALSE(ReadFile(dir / "x.mid.txt").empty());
}

} // namespace
} // namespace kadrel::test
