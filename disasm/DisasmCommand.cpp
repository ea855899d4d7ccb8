#include "disasm/DisasmCommand.h"

#include "disasm/Disassembler.h"
#include "util/Error.h"

#include <ostream>

namespace kadrel {

namespace {

constexpr const char* UsageLine = "Utilisation : kadrel-disasm SOURCE [LISTE]";

} // namespace

int RunDisasmCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << UsageLine << "\n"
            << "Écrit le désassemblage de SOURCE, lue comme fichier MIDI, dans LISTE\n"
            << "(par défaut SOURCE suivi de \".txt\").\n";
        return DisasmOk;
    }
    bool wrong = args.empty() || args.size() > 2;
    for (const std::string& arg : args)
        wrong = wrong || arg.empty();
    if (wrong) {
        err << UsageLine << "\n";
        return DisasmWrongUsage;
    }

    const std::string& source = args[0];
    const std::string listing = args.size() == 2 ? args[1] : source + ".txt";
    try {
        Disassemble(source, listing);
    } catch (const Error& e) {
        err << e.what() << "\n";
        return DisasmFailed;
    }
    return DisasmOk;
}

} // namespace kadrel
