#include "disasm/DisasmCommand.h"

#include "disasm/Disassembler.h"
#include "util/Error.h"

#include <ostream>

namespace kadrel {

namespace {

constexpr const char* UsageLine = "Utilisation : kadrel-disasm [--all] SOURCE [LISTE]";

} // namespace

int RunDisasmCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << UsageLine << "\n"
            << "Écrit le désassemblage de SOURCE, lue comme fichier MIDI, dans LISTE\n"
            << "(par défaut SOURCE suivi de \".txt\"). Avec --all, la liste continue là où\n"
            << "elle s'arrêterait et montre chaque octet de chaque bloc.\n";
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
    try {
        Disassemble(source, listing, all ? ListingWalkKind::Full : ListingWalkKind::Checked);
    } catch (const Error& e) {
        err << e.what() << "\n";
        return DisasmFailed;
    }
    return DisasmOk;
}

} // namespace kadrel
