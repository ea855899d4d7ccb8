#include "ChildProcess.h"
#include "TempDir.h"
#include "disasm/DisasmCommand.h"
#include "disasm/Disassembler.h"
#include "util/TextUtils.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <sys/stat.h>
#include <unistd.h>

namespace kadrel {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Bytes = std::vector<std::uint8_t>;

// A format-1 file with one track holding a program change.
const Bytes Song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0,    1,    0,    1,    0,    0x10, 'M',
                    'T', 'r', 'k', 0,   0, 0, 7, 0, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x00};

struct CommandRun {
    int status;
    std::string out, err;
};

CommandRun Command(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunDisasmCommand(args, out, err);
    return {status, out.str(), err.str()};
}

std::string SameFileError(const std::string& listing) {
    return "Le fichier " + listing +
           " est le fichier source : il ne peut pas recevoir son désassemblage\n";
}

TEST(DisasmCommandSafety, AListingThatWouldBeItsSourceIsRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    const std::string source = dir / "x.mid";
    WriteFile(source, Song);
    ASSERT_EQ(::link(source.c_str(), (dir / "hard.mid").c_str()), 0);
    ASSERT_EQ(::symlink("x.mid", (dir / "soft.mid").c_str()), 0);
    ASSERT_EQ(::symlink("soft.mid", (dir / "x.mid.txt").c_str()), 0);
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string listing;
    };
    const Case cases[] = {
        {"the same path", {source, source}, source},
        {"another spelling", {source, dir / "./x.mid"}, dir / "./x.mid"},
        {"a hard link", {source, dir / "hard.mid"}, dir / "hard.mid"},
        {"a symbolic link", {source, dir / "soft.mid"}, dir / "soft.mid"},
        {"the source named through a link", {dir / "soft.mid", source}, source},
        {"a default listing name that links to the source", {source}, source + ".txt"},
    };
    for (const Case& c : cases) {
        const CommandRun run = Command(c.args);
        EXPECT_EQ(run.status, DisasmFailed) << c.what;
        EXPECT_EQ(run.err, SameFileError(c.listing)) << c.what;
        EXPECT_EQ(ReadFile(source), Song) << c.what;
    }
}

TEST(DisasmCommandSafety, AFifoSourceIsRefusedAtOnceAndLeavesNoListing) {
    TempDir dir;
    const std::string fifo = dir / "pipe.mid";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(10); // a source that blocks ends the test instead of hanging it
    const CommandRun run = Command({fifo});
    ::alarm(0);
    EXPECT_EQ(run.status, DisasmFailed);
    EXPECT_EQ(run.err, "Impossible d'ouvrir le fichier " + fifo + "\n");
    EXPECT_FALSE(std::filesystem::exists(fifo + ".txt"));
}

// A file-size limit stands for a full disk (a small file system needs root to mount).
TEST(DisasmCommandSafety, AListingThatCannotBeWrittenWholeFails) {
    TempDir dir;
    const std::string source = dir / "x.mid";
    WriteFile(source, Song);
    const std::string listing = dir / "x.mid.txt";
    const std::string whole = DisassembleToString(Song, source);
    const std::size_t heading = whole.find("File Header");
    struct Case {
        const char* what;
        rlim_t limit;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {"room enough", RLIM_INFINITY, DisasmOk, ""},
        {"the disk fills after the heading", heading + 10, DisasmFailed,
         "Erreur d'écriture du fichier " + listing + "\n"},
        {"the disk fills within the heading", 10, DisasmFailed,
         "Erreur d'écriture du fichier " + listing + "\n"},
    };
    for (const Case& c : cases) {
        const test::ChildResult child = test::RunInChild([&](const auto& report) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{c.limit, c.limit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            const CommandRun run = Command({source});
            report(run.err);
            return run.status;
        });
        EXPECT_EQ(child.status, c.status) << c.what;
        EXPECT_EQ(child.report, c.err) << c.what;
        if (c.status == DisasmOk) {
            EXPECT_EQ(ReadFile(listing), Bytes(whole.begin(), whole.end()));
        }
    }
}

// An output that takes nothing, as a full disk would.
class FullOutput : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
};

TEST(DisasmCommandSafety, HelpToAFullOutputFails) {
    FullOutput full;
    std::ostream out(&full);
    std::ostringstream err;
    EXPECT_EQ(RunDisasmCommand({"--help"}, out, err), DisasmFailed);
    EXPECT_EQ(err.str(), "Erreur d'écriture de l'aide sur la sortie standard\n");
}

// The built tool itself, when it sits where the build puts it.
TEST(DisasmCommandSafety, BuiltToolFailsOnLostOutputAndOnItsOwnSource) {
    const std::string tool = ProgramFolder() + "../kadrel-disasm";
    if (!std::filesystem::exists(tool))
        GTEST_SKIP() << "no " << tool;
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TempDir dir;
    WriteFile(dir / "x.mid", Song);
    const auto status = [&](const std::string& args) {
        const int raw = std::system((tool + " " + args + " 2>/dev/null").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(status("--help >/dev/full"), DisasmFailed);
    EXPECT_EQ(status("'" + (dir / "x.mid") + "' '" + (dir / "x.mid") + "'"), DisasmFailed);
    EXPECT_EQ(ReadFile(dir / "x.mid"), Song);
}

} // namespace
} // namespace kadrel
