#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kadrel {

// Exit statuses of kadrel-render.
inline constexpr int RenderOk = 0;         // the WAV file was written
inline constexpr int RenderFailed = 1;     // the song could not be read, rendered or written
inline constexpr int RenderWrongUsage = 2; // wrong arguments

// The kadrel-render command: `kadrel-render SONG.mid OUT.wav` renders the song through the
// built-in synthesizer into a WAV file, as the editor's WAV export does. args are the arguments
// after the program name; errors and the usage line go to err, the help asked for with --help
// to out.
int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kadrel
