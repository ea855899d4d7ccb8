#include "ChildProcess.h"
#include "SmallFileSystem.h"
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
        } else {
            // nothing cut short: the complete listing of the first case stays as it was
            EXPECT_EQ(ReadFile(listing), Bytes(whole.begin(), whole.end())) << c.what;
        }
        EXPECT_EQ(dir.Names().size(), 2u) << c.what << ": no temporary left";
    }
}

// A listing larger than what is left on a real disk: an existing file of that name stays whole
// and nothing else is left behind, whichever walk and whichever name.
TEST(DisasmCommandSafety, AFullDiskLeavesTheOldListingWhole) {
    test::SmallFileSystem disk(64 << 10);
    if (!disk.Mounted())
        GTEST_SKIP() << "no small file system can be mounted here";
    // a song of many small events, whose listing is far larger than the disk
    Bytes song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 0x10, 'M', 'T', 'r', 'k'};
    Bytes events;
    for (int i = 0; i < 4000; ++i)
        events.insert(events.end(), {0x00, 0xC0, static_cast<std::uint8_t>(i % 128)});
    events.insert(events.end(), {0x00, 0xFF, 0x2F, 0x00});
    for (int shift : {24, 16, 8, 0})
        song.push_back(static_cast<std::uint8_t>(events.size() >> shift));
    song.insert(song.end(), events.begin(), events.end());
    const std::string source = disk / "song.mid";
    WriteFile(source, song);
    const Bytes old(20000, 'k');
    struct Case {
        std::vector<std::string> args;
        std::string listing;
    };
    const Case cases[] = {
        {{"--all", source, disk / "keep.txt"}, disk / "keep.txt"},
        {{source, disk / "keep.txt"}, disk / "keep.txt"},
        {{source}, source + ".txt"},
    };
    for (const Case& c : cases) {
        WriteFile(c.listing, old);
        const CommandRun run = Command(c.args);
        EXPECT_EQ(run.status, DisasmFailed) << c.listing;
        EXPECT_EQ(run.err, "Erreur d'écriture du fichier " + c.listing + "\n");
        EXPECT_EQ(ReadFile(c.listing), old) << c.listing;
        EXPECT_EQ(disk.Names().size(), 2u) << c.listing << ": no temporary left";
        std::filesystem::remove(c.listing);
    }
}

// A listing's place that is no regular file is refused at once: opening a FIFO for writing would
// wait for a reader for ever. Run in a child that an alarm ends, so that a wait fails the test
// instead of hanging it.
TEST(DisasmCommandSafety, AListingPlaceThatIsNoRegularFileIsRefusedAtOnce) {
    TempDir dir;
    const std::string source = dir / "x.mid";
    WriteFile(source, Song);
    ASSERT_EQ(::mkfifo((source + ".txt").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir / "named.fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("named.fifo", (dir / "link.txt").c_str()), 0);
    const struct {
        std::vector<std::string> args;
        std::string listing;
    } cases[] = {
        {{source}, source + ".txt"},
        {{"--all", source, dir / "named.fifo"}, dir / "named.fifo"},
        {{source, dir / "link.txt"}, dir / "link.txt"},
        {{source, dir.Path().string()}, dir.Path().string()},
    };
    for (const auto& c : cases) {
        const test::ChildResult child = test::RunInChild([&](const auto& report) {
            ::alarm(10);
            const CommandRun run = Command(c.args);
            report(run.err);
            return run.status;
        });
        EXPECT_EQ(child.signal, 0) << c.listing << " blocked";
        EXPECT_EQ(child.status, DisasmFailed) << c.listing;
        EXPECT_EQ(child.report, "Impossible de créer le fichier " + c.listing + "\n");
    }
    EXPECT_EQ(dir.Names().size(), 4u) << "nothing written beside them";
}

// File names reach the terminal with their control characters escaped; the listing names its
// source as it is.
TEST(DisasmCommandSafety, FileNamesInMessagesAreEscaped) {
    TempDir dir;
    const std::string hostile = dir / "\x1B]2;PWNED\a\x1B[31mred\x1B[0m\nx.mid";
    const std::string shown = dir / "\\x1B]2;PWNED\\x07\\x1B[31mred\\x1B[0m\\nx.mid";
    const CommandRun missing = Command({hostile});
    EXPECT_EQ(missing.err, "Impossible d'ouvrir le fichier " + shown + "\n");

    WriteFile(hostile, Song);
    const CommandRun same = Command({hostile, hostile});
    EXPECT_EQ(same.err, "Le fichier " + shown +
                            " est le fichier source : il ne peut pas recevoir son désassemblage\n");

    EXPECT_EQ(Command({hostile}).status, DisasmOk);
    const Bytes listing = ReadFile(hostile + ".txt");
    const std::string heading = "Disassembling of " + hostile + "\r\n";
    EXPECT_EQ(std::string(listing.begin(), listing.begin() + heading.size()), heading);
}

// Options come before "--", which ends them; --help is help wherever it comes before "--".
TEST(DisasmCommandSafety, ArgumentsAreReadAsEveryProgramReadsThem) {
    TempDir dir;
    WriteFile(dir / "-dash.mid", Song);
    WriteFile(dir / "x.mid", Song);
    const std::string listingOfX = DisassembleToString(Song, "x.mid");
    const std::string listingOfDash = DisassembleToString(Song, "-dash.mid");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const struct {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> written; // the listings that exist afterwards
        bool help;
    } cases[] = {
        {{"x.mid", "--help"}, DisasmOk, {}, true},
        {{"--", "-dash.mid"}, DisasmOk, {"-dash.mid.txt"}, false},
        {{"--", "x.mid"}, DisasmOk, {"x.mid.txt"}, false},
        {{"x.mid", "--all", "out.txt"}, DisasmOk, {"out.txt"}, false},
        {{"x.mid", "--", "--help"}, DisasmOk, {"--help"}, false},
        {{"-dash.mid"}, DisasmWrongUsage, {}, false},
    };
    for (const auto& c : cases) {
        const CommandRun run = Command(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(run.out.starts_with("Utilisation : kadrel-disasm"), c.help);
        for (const std::string& name : c.written) {
            const Bytes text = ReadFile(dir / name);
            EXPECT_EQ(std::string(text.begin(), text.end()),
                      name.starts_with("-dash") ? listingOfDash : listingOfX)
                << name;
            std::filesystem::remove(dir / name);
        }
        EXPECT_EQ(dir.Names().size(), 2u) << c.args[0] << " " << c.args[1];
    }
    std::filesystem::current_path(before);
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
