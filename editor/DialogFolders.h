#pragma once

#include <QString>

namespace kadrel {

// What decides where the open and save dialogs start.
struct DialogFolderFacts {
    QString ProgramFolder;      // where the running program lies, ending with "/"
    bool ProgramFolderWritable; // true when it runs from its build folder, false once installed
    QString LastFileFolder;     // folder of the last file opened, imported or saved; "" if none
    QString MusicFolder;        // the user's Music folder; "" when it does not exist
    QString HomeFolder;         // the user's home folder
};

// The folder the dialogs start in: the last file's folder once there is one; else the program's
// own folder while it runs from a folder the user can write (its build folder); else, once
// installed where the user cannot write, the user's Music folder, or the home folder without one.
QString DialogStartFolder(const DialogFolderFacts& facts);

// The facts of this process and this user, with the given last file's folder.
DialogFolderFacts CurrentDialogFolderFacts(const QString& lastFileFolder);

} // namespace kadrel
