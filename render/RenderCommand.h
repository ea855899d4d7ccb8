#pragma once

#include "util/CommandLineArgs.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace kadrel {

// Exit statuses of kadrel-render.
inline constexpr int RenderOk = ExitOk;         // the WAV file was written
inline constexpr int RenderFailed = ExitFailed; // the song could not be read, rendered or written
inline constexpr int RenderWrongUsage = ExitWrongUsage; // wrong arguments

// The kadrel-render command: `kadrel-render MORCEAU.mid SORTIE.wav` renders the song through the
// built-in synthesizer into a WAV file, as the editor's WAV export does; an output that is the
// song itself, under any name, is refused before anything is done. args are the arguments after
// the program name, read as every Kadrel program reads them (util/CommandLineArgs.h); errors and
// the usage line go to err, file names in them escaped for the terminal; the help and the
// version to out.
int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kadrel
