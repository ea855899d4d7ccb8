#pragma once

#include "render/WavRender.h"
#include "song/Song.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class QWidget;

namespace kadrel {

// Renders the song into the WAV file fileName while a progress dialog shows how far it has come
// and offers to cancel. Returns false when the user cancelled: then nothing was written and an
// existing file is untouched. Throws Error when the song cannot be rendered or the file written.
// The song is copied first, so the export plays it as it was when it was asked for.
bool ExportWavWithProgress(QWidget* parent, Song song, const std::string& fileName);

// The text of the dialog at a position: "Exportation en WAV : position 120 sur 2 000".
QString WavExportProgressText(std::int64_t position, std::int64_t lastPosition);

} // namespace kadrel
