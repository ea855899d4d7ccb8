#pragma once

#include "util/FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

namespace kadrel {

struct FileReplaceOptions {
    // Write the new content into an unnamed file that gets its name only once it is complete
    // (where the file system allows), so that a save killed half-way leaves nothing behind.
    // Off, a named temporary file is used, as on file systems without unnamed files.
    bool unnamedTemporary = true;
};

// A file whose content is replaced by new content written piece by piece, for content too
// large to be held in memory (a listing). Until Commit the old file is untouched; a replacement
// destroyed without Commit leaves nothing behind.
// - a symbolic link is followed, also a dangling one, whose target is then created;
// - an existing target that is not a regular file (a FIFO, a device, a folder), or that the
//   user may not write, is refused at once, without being opened, and left as it is;
// - the content goes to a temporary file beside the target; Commit gives it the old file's
//   mode, owner and group and renames it over the old file, so that a failure leaves the old
//   file whole. A new file gets the mode 0666 less the process's umask.
// - a regular file that a rename would change in a way the user did not ask for (more links
//   than one, an owner, group or access list that a new file could not keep, a folder the user
//   cannot write) is rewritten in place by Commit instead, once the content is complete (in a
//   temporary file of the system's temporary folder when its own folder takes none): its room
//   is reserved first, then it is written and flushed.
// Named temporary files are called ".kadrel-save-", sixteen letters or digits and ".tmp"; those
// of the user's that a killed save left in the folder more than a day ago are removed.
class FileReplacement {
public:
    // Throws Error("Impossible de créer le fichier <fileName>") when the target is refused or
    // no temporary file can be made.
    explicit FileReplacement(const std::string& fileName, const FileReplaceOptions& options = {});
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Appends count bytes to the new content; false when they could not all be stored (a full
    // disk, say), after which Commit fails.
    bool Write(const void* bytes, std::size_t count);

    // Puts the new content in place of the old. Throws Error("Erreur d'écriture du fichier
    // <fileName>") when a write failed or the content could not be flushed, and
    // Error("Impossible de créer le fichier <fileName>") when it cannot take the file's place;
    // the old file is then whole (but where a rewrite in place fails after its room was taken).
    void Commit();

private:
    void Discard();
    void CommitInPlace();
    bool NameTemporaryBeside();

    std::string fileName_; // as given, for the messages
    std::string target_;   // links followed
    std::string folder_;   // the target's
    bool exists_ = false;
    uid_t oldOwner_ = 0;
    gid_t oldGroup_ = 0;
    mode_t oldMode_ = 0;
    bool inPlace_ = false; // Commit rewrites the existing file where it is
    FileDescriptor temporaryFd_{-1};
    std::string temporaryName_; // empty while the temporary has no name
    std::uint64_t size_ = 0;
    bool writeFailed_ = false;
    bool done_ = false;
};

// Makes `bytes` the whole content of the file `fileName`, as a FileReplacement written at once.
// Throws the errors of FileReplacement.
void ReplaceFileContent(const std::string& fileName, std::span<const std::uint8_t> bytes,
                        const FileReplaceOptions& options = {});

} // namespace kadrel
