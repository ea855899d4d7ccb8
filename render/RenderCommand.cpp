#include "render/RenderCommand.h"

#include "render/SongForRender.h"
#include "render/WavRender.h"
#include "util/Error.h"
#include "util/TerminalText.h"

#include <new>
#include <ostream>

namespace kadrel {

namespace {

const CommandLineRules Rules = {
    .Program = "kadrel-render",
    .Options = {},
    .Files = {"MORCEAU.mid", "SORTIE.wav"},
    .RequiredFiles = 2,
    .PassOver = {},
};

const CommandLineTexts Texts = {
    .Program = "kadrel-render",
    .Usage = "Utilisation : kadrel-render MORCEAU.mid SORTIE.wav",
    .Description =
        "Joue MORCEAU.mid avec le synthétiseur intégré, à son tempo, avec ses vélocités,\n"
        "contrôleurs et instruments, et écrit le son dans SORTIE.wav (WAV PCM 16 bits\n"
        "stéréo, 44,1 kHz). Un fichier existant n'est remplacé qu'une fois le nouveau\n"
        "entièrement écrit.\n",
    .OwnOptions = "",
};

} // namespace

int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CommandLine parsed = ParseCommandLine(Rules, args);
    if (const auto status = AnswerWithoutRunning(parsed, Texts, out, err))
        return *status;

    const std::string& songFile = parsed.Files[0];
    const std::string& wavFile = parsed.Files[1];
    try {
        RefuseOutputThatIsTheSong(songFile, wavFile);
        RenderWav(LoadSongForRender(songFile), wavFile);
    } catch (const Error& e) {
        err << TerminalMessage(e) << "\n";
        return RenderFailed;
    } catch (const std::bad_alloc&) {
        err << "Plus de mémoire pour rendre le morceau\n";
        return RenderFailed;
    }
    return RenderOk;
}

} // namespace kadrel
