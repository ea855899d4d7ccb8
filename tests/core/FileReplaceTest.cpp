#include "util/FileReplace.h"
#include "ChildProcess.h"
#include "ErrorOf.h"
#include "SmallFileSystem.h"
#include "TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

// Counts the calls to umask made by this program: a save must not read the mask by setting
// it, which changes it for a moment for every other thread of the process.
namespace {
std::atomic<int> umaskCalls{0};
}
extern "C" mode_t umask(mode_t mask) {
    ++umaskCalls;
    return static_cast<mode_t>(::syscall(SYS_umask, mask));
}

namespace kadrel {
namespace {

using test::ErrorOf;
using test::NobodyId;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Bytes = std::vector<std::uint8_t>;

const Bytes OldBytes(100, 'o');
const Bytes NewBytes(300, 'n');

struct stat StatOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

void MakeFile(const std::string& path, uid_t owner, gid_t group, mode_t mode) {
    WriteFile(path, OldBytes);
    ASSERT_EQ(::chown(path.c_str(), owner, group), 0);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

std::string MakeFolder(const TempDir& dir, const std::string& name, uid_t owner, mode_t mode) {
    const std::string folder = dir / name;
    EXPECT_EQ(::mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(::chown(folder.c_str(), owner, owner), 0);
    EXPECT_EQ(::chmod(folder.c_str(), mode), 0);
    return folder;
}

// Saves NewBytes to path as the user nobody, with umask 027; "" on success, else the error.
std::string SaveAsNobody(const std::string& path) {
    const test::ChildResult child = test::RunInChild([&](const auto& report) {
        if (!test::BecomeNobody())
            return 90;
        ::umask(027);
        report(ErrorOf([&] { ReplaceFileContent(path, NewBytes); }));
        return 0;
    });
    EXPECT_EQ(child.status, 0) << "the child could not become nobody or died";
    return child.report;
}

// Each kind of target, saved by an ordinary user: what is refused is left as it was, what is
// saved keeps its inode, owner, group, mode and links where a replacement would lose them.
TEST(FileReplace, EachKindOfTargetAsAnOrdinaryUser) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to prepare files of other users";
    TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);

    enum Result { Refused, InPlace, Replaced, Created };
    struct Case {
        const char* what;
        uid_t folderOwner;
        mode_t folderMode;
        // Prepares the target in the folder; returns the path to save to and the path of the
        // file that holds the content afterwards.
        std::function<std::pair<std::string, std::string>(const std::string&)> prepare;
        Result result;
        std::set<std::string> names; // what the folder holds afterwards
    };
    const auto regular = [](uid_t owner, gid_t group, mode_t mode) {
        return [=](const std::string& folder) {
            const std::string path = folder + "/song.mid";
            MakeFile(path, owner, group, mode);
            return std::pair(path, path);
        };
    };
    const Case cases[] = {
        {"a file of the user's that the user may not write",
         0,
         0777,
         regular(NobodyId, NobodyId, 0444),
         Refused,
         {"song.mid"}},
        {"root's file in a folder the user may write",
         0,
         0777,
         regular(0, 0, 0644),
         Refused,
         {"song.mid"}},
        {"root's file that the user may write keeps its owner",
         0,
         0777,
         regular(0, 0, 0666),
         InPlace,
         {"song.mid"}},
        {"a group the user is not in is kept",
         NobodyId,
         0755,
         regular(NobodyId, 0, 0664),
         InPlace,
         {"song.mid"}},
        {"the user's file in a folder the user may not write",
         0,
         0755,
         regular(NobodyId, NobodyId, 0644),
         InPlace,
         {"song.mid"}},
        {"the user's file in the user's folder is replaced, keeping its mode",
         NobodyId,
         0755,
         regular(NobodyId, NobodyId, 0604),
         Replaced,
         {"song.mid"}},
        {"a file with a second hard link",
         NobodyId,
         0755,
         [](const std::string& folder) {
             const std::string path = folder + "/song.mid";
             MakeFile(path, NobodyId, NobodyId, 0644);
             EXPECT_EQ(::link(path.c_str(), (folder + "/copy.mid").c_str()), 0);
             return std::pair(path, folder + "/copy.mid");
         },
         InPlace,
         {"song.mid", "copy.mid"}},
        {"a FIFO",
         NobodyId,
         0755,
         [](const std::string& folder) {
             const std::string path = folder + "/song.mid";
             EXPECT_EQ(::mkfifo(path.c_str(), 0666), 0);
             EXPECT_EQ(::chown(path.c_str(), NobodyId, NobodyId), 0);
             return std::pair(path, path);
         },
         Refused,
         {"song.mid"}},
        {"a link to a device",
         NobodyId,
         0755,
         [](const std::string& folder) {
             const std::string path = folder + "/song.mid";
             EXPECT_EQ(::symlink("/dev/null", path.c_str()), 0);
             return std::pair(path, std::string("/dev/null"));
         },
         Refused,
         {"song.mid"}},
        {"a folder",
         NobodyId,
         0755,
         [](const std::string& folder) {
             const std::string path = folder + "/song.mid";
             EXPECT_EQ(::mkdir(path.c_str(), 0777), 0);
             return std::pair(path, path);
         },
         Refused,
         {"song.mid"}},
        {"a link to a file",
         NobodyId,
         0755,
         [](const std::string& folder) {
             MakeFile(folder + "/real.mid", NobodyId, NobodyId, 0644);
             EXPECT_EQ(::symlink("real.mid", (folder + "/song.mid").c_str()), 0);
             return std::pair(folder + "/song.mid", folder + "/real.mid");
         },
         Replaced,
         {"song.mid", "real.mid"}},
        {"a dangling link creates its target",
         NobodyId,
         0755,
         [](const std::string& folder) {
             EXPECT_EQ(::symlink("new.mid", (folder + "/song.mid").c_str()), 0);
             return std::pair(folder + "/song.mid", folder + "/new.mid");
         },
         Created,
         {"song.mid", "new.mid"}},
        {"a new file takes the umask",
         NobodyId,
         0755,
         [](const std::string& folder) {
             return std::pair(folder + "/song.mid", folder + "/song.mid");
         },
         Created,
         {"song.mid"}},
    };

    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder =
            MakeFolder(dir, "case" + std::to_string(n++), c.folderOwner, c.folderMode);
        const auto [path, holder] = c.prepare(folder);
        const struct stat before = StatOf(holder);
        const struct stat linkBefore = StatOf(path);

        const std::string error = SaveAsNobody(path);

        const struct stat after = StatOf(holder);
        EXPECT_EQ(NamesIn(folder), c.names) << "no temporary file is left";
        if (linkBefore.st_mode != 0) {
            EXPECT_EQ(StatOf(path).st_mode & S_IFMT, linkBefore.st_mode & S_IFMT)
                << "the target keeps its kind";
        }
        switch (c.result) {
        case Refused:
            EXPECT_EQ(error, "Impossible de créer le fichier " + path);
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_EQ(after.st_mode, before.st_mode);
            if (S_ISREG(after.st_mode)) {
                EXPECT_EQ(ReadFile(holder), OldBytes);
            }
            break;
        case InPlace:
        case Replaced:
            EXPECT_EQ(error, "");
            EXPECT_EQ(ReadFile(holder), NewBytes);
            EXPECT_EQ(after.st_ino == before.st_ino, c.result == InPlace);
            EXPECT_EQ(after.st_uid, before.st_uid);
            EXPECT_EQ(after.st_gid, before.st_gid);
            EXPECT_EQ(after.st_mode, before.st_mode);
            EXPECT_EQ(after.st_nlink, before.st_nlink);
            break;
        case Created:
            EXPECT_EQ(error, "");
            EXPECT_EQ(ReadFile(holder), NewBytes);
            EXPECT_EQ(after.st_uid, NobodyId);
            EXPECT_EQ(after.st_mode, S_IFREG | 0640);
            break;
        }
    }
}

// A file-size limit stands for a full disk: a file rewritten in place takes its room before
// its old content is touched.
TEST(FileReplace, AnInPlaceWriteThatCannotGrowLeavesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir / "song.mid";
    WriteFile(path, OldBytes);
    ASSERT_EQ(::link(path.c_str(), (dir / "copy.mid").c_str()), 0);
    const test::ChildResult child = test::RunInChild([&](const auto& report) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{200, 200};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        report(ErrorOf([&] { ReplaceFileContent(path, NewBytes); }));
        return 0;
    });
    EXPECT_EQ(child.report, "Erreur d'écriture du fichier " + path);
    EXPECT_EQ(ReadFile(path), OldBytes);
    EXPECT_EQ(StatOf(path).st_nlink, 2u);
}

bool UnnamedFilesWork(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// A save killed at any moment leaves the old file whole (or the new one, once it is done) and
// nothing else in the folder.
TEST(FileReplace, ASaveKilledOnTheWayLeavesNothingBehind) {
    TempDir dir;
    if (!UnnamedFilesWork(dir.Path().string()))
        GTEST_SKIP() << "the temporary folder's file system has no unnamed files";
    const std::string path = dir / "song.mid";
    WriteFile(path, OldBytes);
    const Bytes big(32 << 20, 'b');

    int killedBeforeTheEnd = 0;
    for (const int delayMs : {0, 1, 3, 10, 30, 100}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(ready[0]);
            ssize_t ignored = ::write(ready[1], "r", 1);
            (void)ignored;
            try {
                ReplaceFileContent(path, big);
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);

        EXPECT_THAT(dir.Names(), ::testing::ElementsAre("song.mid")) << delayMs << " ms";
        const Bytes content = ReadFile(path);
        EXPECT_TRUE(content == OldBytes || content == big) << delayMs << " ms";
        if (content == OldBytes)
            ++killedBeforeTheEnd;
        WriteFile(path, OldBytes);
    }
    EXPECT_GT(killedBeforeTheEnd, 0) << "no kill came before the save ended";
}

// Named temporaries, used where unnamed files are not to be had, that saves killed more than
// a day ago left are removed by the next save in the folder; nothing else is, whatever its name
// looks like, nor a temporary of another user's.
TEST(FileReplace, StaleTemporariesOfEarlierSavesAreRemoved) {
    TempDir dir;
    struct Entry {
        const char* name;
        int ageHours;
        bool kept;
        uid_t owner = 0; // 0: the user running the tests
    };
    const Entry entries[] = {
        {".kadrel-save-Ab3De9Xy7Zq2Lm4P.tmp", 48, false},
        {".kadrel-save-Xy7Zq2Ab3De9Lm4P.tmp", 2, true},
        {".kadrel-save-Ab3De9Xy7Zq2Lm4P.tmp~", 48, true},
        {".kadrel-save-Ab3De9Xy7Zq2Lm4.tmp", 48, true},
        {".kadrel-save-Ab3De9Xy7Zq2L-4P.tmp", 48, true},
        {".kadrel-save-Ab3De9", 48, true},
        {".kadrel-Q1w2E3", 48, true},
        {".kadrel-backup", 48, true},
        {".kadrel-notes1", 48, true},
        {"notes.txt", 48, true},
        {".kadrel-save-Zz9Yy8Xx7Ww6Vv5U.tmp", 48, true, test::NobodyId},
    };
    const auto now = std::chrono::system_clock::now();
    for (const Entry& e : entries) {
        WriteFile(dir / e.name, OldBytes);
        if (e.owner != 0 &&
            (::geteuid() != 0 || ::chown((dir / e.name).c_str(), e.owner, e.owner) != 0))
            std::filesystem::remove(dir / e.name);
        const auto then = now - std::chrono::hours(e.ageHours);
        const timespec times[2] = {
            {std::chrono::system_clock::to_time_t(then), 0},
            {std::chrono::system_clock::to_time_t(then), 0},
        };
        ::utimensat(AT_FDCWD, (dir / e.name).c_str(), times, 0);
    }
    std::set<std::string> expected = {"song.mid"};
    for (const Entry& e : entries)
        if (e.kept && std::filesystem::exists(dir / e.name))
            expected.insert(e.name);

    for (const bool unnamed : {false, true}) {
        ReplaceFileContent(dir / "song.mid", NewBytes, {.unnamedTemporary = unnamed});
        EXPECT_EQ(NamesIn(dir.Path().string()), expected);
        EXPECT_EQ(ReadFile(dir / "song.mid"), NewBytes);
    }
}

// Content written piece by piece reaches the file only at Commit, by the rules of a save; a
// replacement dropped before it, or whose writes failed on a full disk, leaves the old file whole
// and nothing else.
TEST(FileReplace, AReplacementWrittenInPiecesTakesItsPlaceOnlyWhenCommitted) {
    TempDir dir;
    test::SmallFileSystem full(16 << 10);
    const Bytes big(64 << 10, 'b'); // more than the small disk takes
    struct Case {
        const char* what;
        std::string folder;
        bool hardLink;
        bool commit;
        std::string error; // of Commit; "" when it succeeds
    };
    std::vector<Case> cases = {
        {"a file", dir.Path().string(), false, true, ""},
        {"a file with a second hard link", dir.Path().string(), true, true, ""},
        {"dropped before Commit", dir.Path().string(), false, false, ""},
    };
    if (full.Mounted()) {
        cases.push_back({"a full disk", full / "", false, true, "Erreur d'écriture du fichier "});
        cases.push_back(
            {"a full disk, hard link", full / "", true, true, "Erreur d'écriture du fichier "});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = c.folder + "/song.mid";
        WriteFile(path, OldBytes);
        if (c.hardLink) {
            ASSERT_EQ(::link(path.c_str(), (c.folder + "/copy.mid").c_str()), 0);
        }
        const auto names = NamesIn(c.folder);
        const ino_t inode = StatOf(path).st_ino;
        const bool fits = c.error.empty();
        std::string error;
        {
            FileReplacement replacement(path);
            const Bytes& content = fits ? NewBytes : big;
            bool written = true;
            for (std::size_t at = 0; at < content.size(); at += 100)
                written = replacement.Write(content.data() + at,
                                            std::min<std::size_t>(100, content.size() - at)) &&
                          written;
            EXPECT_EQ(written, fits);
            EXPECT_EQ(ReadFile(path), OldBytes) << "untouched before Commit";
            if (c.commit)
                error = ErrorOf([&] { replacement.Commit(); });
        }
        EXPECT_EQ(error, fits ? "" : c.error + path);
        EXPECT_EQ(ReadFile(path), fits && c.commit ? NewBytes : OldBytes);
        EXPECT_EQ(NamesIn(c.folder), names) << "no temporary left";
        EXPECT_EQ(StatOf(path).st_ino == inode, c.hardLink || !c.commit || !fits);
        std::filesystem::remove(path);
        std::filesystem::remove(c.folder + "/copy.mid");
    }
}

TEST(FileReplace, TheUmaskIsNeverSet) {
    TempDir dir;
    const mode_t mask = 022;
    ::umask(mask);
    umaskCalls = 0;
    for (const bool unnamed : {false, true}) {
        const std::string path = dir / (unnamed ? "a.mid" : "b.mid");
        ReplaceFileContent(path, NewBytes, {.unnamedTemporary = unnamed});
        EXPECT_EQ(StatOf(path).st_mode, S_IFREG | 0644);
        ReplaceFileContent(path, OldBytes, {.unnamedTemporary = unnamed});
    }
    EXPECT_EQ(umaskCalls, 0);
}

} // namespace
} // namespace kadrel
