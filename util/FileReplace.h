#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kadrel {

struct FileReplaceOptions {
    // Write the new content into an unnamed file that gets its name only once it is complete
    // (where the file system allows), so that a save killed half-way leaves nothing behind.
    // Off, a named temporary file is used, as on file systems without unnamed files.
    bool unnamedTemporary = true;
};

// Makes `bytes` the whole content of the file `fileName`:
// - a symbolic link is followed, also a dangling one, whose target is then created;
// - an existing target that is not a regular file, or that the user may not write, is refused
//   and left as it is;
// - a regular file that replacing would change in a way the user did not ask for (more links
//   than one, an owner, group or access list that a new file could not keep, a folder the user
//   cannot write) is rewritten in place: room is reserved first, then it is written and flushed;
// - otherwise the content is written and flushed to a temporary file in the same folder that
//   takes the old file's mode, owner and group and is then renamed over it, so that a failure
//   leaves the old file whole. A new file gets the mode 0666 less the process's umask.
// Named temporary files are called ".kadrel-save-" and six letters or digits; those that an
// earlier save of the same user left in the folder more than a day ago are removed.
// Throws Error("Impossible de créer le fichier <fileName>") when the file cannot be created or
// may not be written, and Error("Erreur d'écriture du fichier <fileName>") when writing fails.
void ReplaceFileContent(const std::string& fileName, std::span<const std::uint8_t> bytes,
                        const FileReplaceOptions& options = {});

} // namespace kadrel
