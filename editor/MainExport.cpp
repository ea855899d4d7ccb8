// "Exporter en WAV...": the song played through the built-in synthesizer into a sound file.

#include "editor/MainWindow.h"
#include "util/Error.h"

#ifdef KADREL_HAVE_RENDER
#include "editor/FileNames.h"
#include "editor/WavExport.h"
#endif

namespace kadrel {

void TMain::ExportWavClick() {
#ifdef KADREL_HAVE_RENDER
    const QString chosen = dialogs_.SaveWavFileName(this, DialogFolder());
    if (chosen.isEmpty())
        return;
    RefuseOutputThatIsTheSong(FileName(), FileNameBytes(chosen));
    if (!ConfirmReplace(chosen))
        return;
    if (ExportWavWithProgress(this, SongView().Notes, RenderTracksOf(SongView().Tracks),
                              FileNameBytes(chosen)))
        RememberFileFolder(chosen);
#else
    throw Error(
        "Cette version de Kadrel n'a pas de synthétiseur : elle ne peut pas exporter en WAV.");
#endif
}

} // namespace kadrel
