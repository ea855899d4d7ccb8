#include "editor/DialogFolders.h"

#include <gtest/gtest.h>

namespace kadrel {
namespace {

TEST(DialogFolders, WhereTheDialogsStart) {
    const struct {
        const char* name;
        bool writable;
        QString last;
        QString music;
        QString expected;
    } cases[] = {
        {"from the build folder", true, "", "/home/u/Musique", "/src/kadrel/build/"},
        {"installed, with a Music folder", false, "", "/home/u/Musique", "/home/u/Musique"},
        {"installed, without one", false, "", "", "/home/u"},
        {"after a file, from the build folder", true, "/data/songs", "/home/u/Musique",
         "/data/songs"},
        {"after a file, installed", false, "/data/songs", "", "/data/songs"},
    };
    for (const auto& c : cases) {
        const QString program = c.writable ? "/src/kadrel/build/" : "/usr/bin/";
        EXPECT_EQ(
            DialogStartFolder({program, c.writable, c.last, c.music, "/home/u"}).toStdString(),
            c.expected.toStdString())
            << c.name;
    }
}

} // namespace
} // namespace kadrel
