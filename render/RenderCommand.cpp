#include "render/RenderCommand.h"

#include "render/SongForRender.h"
#include "render/WavRender.h"
#include "util/Error.h"

#include <new>
#include <ostream>

namespace kadrel {

namespace {

constexpr const char* UsageLine = "Utilisation : kadrel-render MORCEAU.mid SORTIE.wav";

} // namespace

int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << UsageLine << "\n"
            << "Joue MORCEAU.mid avec le synthétiseur intégré, à son tempo, avec ses vélocités,\n"
            << "contrôleurs et instruments, et écrit le son dans SORTIE.wav (WAV PCM 16 bits\n"
            << "stéréo, 44,1 kHz). Un fichier existant n'est remplacé qu'une fois le nouveau\n"
            << "entièrement écrit.\n";
        return RenderOk;
    }
    // Anything that looks like an option is one this command does not know.
    bool wrong = args.size() != 2;
    for (const std::string& arg : args)
        wrong = wrong || arg.empty() || arg[0] == '-';
    if (wrong) {
        err << UsageLine << "\n";
        return RenderWrongUsage;
    }

    try {
        RenderWav(LoadSongForRender(args[0]), args[1]);
    } catch (const Error& e) {
        err << e.what() << "\n";
        return RenderFailed;
    } catch (const std::bad_alloc&) {
        err << "Plus de mémoire pour rendre le morceau\n";
        return RenderFailed;
    }
    return RenderOk;
}

} // namespace kadrel
