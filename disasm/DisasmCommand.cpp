#include "disasm/DisasmCommand.h"

#include "disasm/Disassembler.h"
#include "util/Error.h"

#include <ostream>

namespace kadrel {

namespace {

constexpr const char* UsageLine = "Utilisation : kadrel-disasm [--all] SOURCE [LISTE]";

// Whether everything written to a stream reached it (a full disk or a closed pipe does not
// take it): the command must not end with success on output that was lost.
bool OutputWritten(std::ostream& stream) {
    stream.flush();
    return !stream.fail();
}

// Writes the listing; false, with the message on err, when it could not be made or not whole.
bool WriteListing(const std::string& source, const std::string& listing, ListingWalkKind walk,
                  std::ostream& err) {
    try {
        if (Disassemble(source, listing, walk))
            return true;
        err << "Erreur d'écriture du fichier " << listing << "\n";
    } catch (const Error& e) {
        err << e.what() << "\n";
    }
    return false;
}

} // namespace

int RunDisasmCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << UsageLine << "\n"
            << "Écrit le désassemblage de SOURCE, lue comme fichier MIDI, dans LISTE\n"
            << "(par défaut SOURCE suivi de \".txt\"). Avec --all, la liste continue là où\n"
            << "elle s'arrêterait et montre chaque octet de chaque bloc.\n";
        if (!OutputWritten(out)) {
            err << "Erreur d'écriture de l'aide sur la sortie standard\n";
            return DisasmFailed;
        }
        return DisasmOk;
    }
    const bool all = !args.empty() && args[0] == "--all";
    const std::vector<std::string> paths(args.begin() + (all ? 1 : 0), args.end());
    bool wrong = paths.empty() || paths.size() > 2;
    for (const std::string& arg : paths)
        wrong = wrong || arg.empty();
    if (wrong) {
        err << UsageLine << "\n";
        return DisasmWrongUsage;
    }

    const std::string& source = paths[0];
    const std::string listing = paths.size() == 2 ? paths[1] : source + ".txt";
    return WriteListing(source, listing, all ? ListingWalkKind::Full : ListingWalkKind::Checked,
                        err)
               ? DisasmOk
               : DisasmFailed;
}

} // namespace kadrel
