#include "editor/DialogFolders.h"

#include "util/TextUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace kadrel {

QString DialogStartFolder(const DialogFolderFacts& facts) {
    if (!facts.LastFileFolder.isEmpty())
        return facts.LastFileFolder;
    if (facts.ProgramFolderWritable)
        return facts.ProgramFolder;
    if (!facts.MusicFolder.isEmpty())
        return facts.MusicFolder;
    return facts.HomeFolder;
}

DialogFolderFacts CurrentDialogFolderFacts(const QString& lastFileFolder) {
    DialogFolderFacts facts;
    facts.ProgramFolder = QString::fromStdString(ProgramFolder());
    facts.ProgramFolderWritable = ::access(ProgramFolder().c_str(), W_OK) == 0;
    facts.LastFileFolder = lastFileFolder;
    // Qt names a Music folder even when there is none; only one that exists is offered.
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir() && music != QDir::homePath())
        facts.MusicFolder = music;
    facts.HomeFolder = QDir::homePath();
    return facts;
}

} // namespace kadrel
