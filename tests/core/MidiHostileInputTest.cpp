#include "ChildProcess.h"
#include "ErrorOf.h"
#include "SmfBytes.h"
#include "TempDir.h"
#include "midi/Midi.h"
#include "util/Error.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kadrel {
namespace {

using test::Bytes;
using test::Cat;
using test::Chunk;
using test::ErrorOf;
using test::Tag;
using test::TempDir;
using test::WriteFile;

constexpr std::uint64_t MiB = std::uint64_t{1} << 20;

Bytes Header(std::uint16_t tracks) {
    return test::Header(1, tracks, 0x10);
}

// `count` tracks that each declare the largest chunk length and hold `body` then an end of track.
Bytes TracksDeclaringFFFFFFFF(std::uint16_t count, const Bytes& body) {
    Bytes file = Header(count);
    const Bytes track =
        Cat({Tag("MTrk"), {0xFF, 0xFF, 0xFF, 0xFF}, body, {0x00, 0xFF, 0x2F, 0x00}});
    for (int i = 0; i < count; ++i)
        file.insert(file.end(), track.begin(), track.end());
    return file;
}

// `count` empty tracks that each declare a length reaching exactly to the end of the file: each
// is true to the data, but they all overlap.
Bytes TracksDeclaringTheRestOfTheFile(std::uint16_t count) {
    Bytes file = Header(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t rest = (count - i) * 12u - 8u;
        const Bytes track = Chunk("MTrk", {0x00, 0xFF, 0x2F, 0x00}, rest);
        file.insert(file.end(), track.begin(), track.end());
    }
    return file;
}

// One track of `notes` note-ons, a legitimate file that needs memory in proportion.
Bytes ManyNotes(std::uint32_t notes) {
    Bytes events;
    for (std::uint32_t i = 0; i < notes; ++i)
        events.insert(events.end(), {0x00, 0x90, 60, 100});
    events.insert(events.end(), {0x00, 0xFF, 0x2F, 0x00});
    return Cat({Header(1), Chunk("MTrk", events)});
}

enum Outcome { Loaded = 0, OutOfMemory = 1, OtherError = 2, BareException = 3 };

// Loads the bytes in a child limited to `budget` bytes of address space beyond what it uses.
int LoadUnderMemoryLimit(const Bytes& bytes, std::uint64_t budget) {
    return test::RunInChild([&](const auto&) -> int {
               ByteStream stream(bytes);
               if (!test::LimitAddressSpace(budget))
                   return 90;
               try {
                   TMidi midi;
                   midi.LoadFromStream(stream);
               } catch (const Error& e) {
                   return std::string(e.what()) == OutOfMemoryText ? OutOfMemory : OtherError;
               } catch (...) {
                   return BareException;
               }
               return Loaded;
           })
        .status;
}

TEST(MidiHostileInput, MemoryFollowsTheFileNotTheDeclaredChunkLengths) {
    if (test::UnderSanitizer)
        GTEST_SKIP() << "address-space limits cannot be measured under the sanitizers";
    struct Case {
        const char* what;
        Bytes file;
        std::uint64_t budget;
        Outcome outcome;
    };
    const Case cases[] = {
        // 786 KB that once reserved 48 GiB
        {"65,535 empty tracks each declaring FFFFFFFF", TracksDeclaringFFFFFFFF(65535, {}),
         64 * MiB, Loaded},
        // each skipped name once reserved room for events up to the end of the file
        {"65,535 tracks with a 48-byte name each declaring FFFFFFFF",
         TracksDeclaringFFFFFFFF(65535, Cat({{0x00, 0xFF, 0x03, 48}, Bytes(48, 'x')})), 64 * MiB,
         Loaded},
        {"65,535 empty tracks each declaring the rest of the file",
         TracksDeclaringTheRestOfTheFile(65535), 64 * MiB, Loaded},
        {"a file that needs more memory than there is gives the stream's error", ManyNotes(400000),
         4 * MiB, OutOfMemory},
        {"the same file with room enough", ManyNotes(400000), 256 * MiB, Loaded},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadUnderMemoryLimit(c.file, c.budget), c.outcome) << c.what;
}

// Runs action under an alarm, so that a load that blocks ends the test instead of hanging it.
std::string ErrorWithin10Seconds(const std::function<void()>& action) {
    ::alarm(10);
    const std::string text = ErrorOf(action);
    ::alarm(0);
    return text;
}

TEST(MidiHostileInput, OnlyRegularFilesOfAtMost1GiBAreRead) {
    TempDir dir;
    const std::string fifo = dir / "pipe.mid";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string linkToZero = dir / "zero.mid";
    ASSERT_EQ(::symlink("/dev/zero", linkToZero.c_str()), 0);
    // Sparse files: their size costs no disk, and nothing must be read to refuse them.
    const auto sparse = [&](const std::string& name, off_t size) {
        const std::string path = dir / name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0600);
        EXPECT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        return path;
    };
    const std::string justTooLarge = sparse("large.mid", (off_t{1} << 30) + 1);
    const std::string huge = sparse("huge.mid", off_t{2} << 30);

    struct Case {
        std::string path, error;
    };
    const Case cases[] = {
        {fifo, "Impossible d'ouvrir le fichier " + fifo},
        {"/dev/zero", "Impossible d'ouvrir le fichier /dev/zero"},
        {linkToZero, "Impossible d'ouvrir le fichier " + linkToZero},
        {dir.Path().string(), "Impossible d'ouvrir le fichier " + dir.Path().string()},
        {justTooLarge, "Impossible de lire le fichier " + justTooLarge + " : il dépasse 1 Go"},
        {huge, "Impossible de lire le fichier " + huge + " : il dépasse 1 Go"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorWithin10Seconds([&] { TMidi().LoadFromFile(c.path); }), c.error);
}

// Why a file cannot be read, in the words of the load's errors with the reason added.
TEST(MidiHostileInput, TheReasonAFileCannotBeRead) {
    TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const std::string fifo = dir / "pipe.mid";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string song = dir / "song.mid";
    WriteFile(song, {'M', 'T', 'h', 'd'});
    const std::string large = dir / "large.mid";
    WriteFile(large, {});
    ASSERT_EQ(::truncate(large.c_str(), (off_t{1} << 30) + 1), 0);
    const std::string closed = dir / "closed.mid";
    WriteFile(closed, {1});
    ASSERT_EQ(::chmod(closed.c_str(), 0), 0);
    const std::string open = "Impossible d'ouvrir le fichier ";
    const struct {
        std::string path, text;
    } cases[] = {
        {song, ""},
        {dir / "missing.mid", open + dir / "missing.mid" + " : il n'existe pas."},
        {song + "/x.mid", open + song + "/x.mid : il n'existe pas."},
        {dir.Path().string(), open + dir.Path().string() + " : c'est un dossier."},
        {fifo, open + fifo + " : ce n'est pas un fichier ordinaire."},
        {"/dev/zero", open + "/dev/zero : ce n'est pas un fichier ordinaire."},
        {large, "Impossible de lire le fichier " + large + " : il dépasse 1 Go."},
        {closed, open + closed + " : l'accès en est refusé."},
    };
    for (const auto& c : cases) {
        // As an ordinary user, whom the access rights stop (they do not stop root).
        const test::ChildResult child = test::RunInChild([&](const auto& report) {
            if (::geteuid() == 0 && !test::BecomeNobody())
                return 90;
            report(UnreadableFileText(c.path));
            return 0;
        });
        ASSERT_EQ(child.status, 0);
        EXPECT_EQ(child.report, c.text);
    }
}

} // namespace
} // namespace kadrel
