#include "disasm/DisasmCommand.h"

#include "disasm/Disassembler.h"
#include "util/Error.h"

#include <ostream>

namespace kadrel {

namespace {

constexpr const char* UsageLine = "Utilisation : kadrel-disasm SOURCE [LISTE]";

// Whether everything written to a stream reached it (a full disk or a closed pipe does not
// take it): the command must not end with success on output that was lost.
bool OutputWritten(std::ostream& stream) {
    stream.flush();
    return !stream.fail();
}

// Writes the listing; false, with the message on err, when it could not be made or not whole.
bool WriteListing(const std::string& source, const std::string& listing, std::ostream& err) {
    try {
        if (Disassemble(source, listing))
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
            << "(par défaut SOURCE suivi de \".txt\").\n";
        if (!OutputWritten(out)) {
            err << "Erreur d'écriture de l'aide sur la sortie standard\n";
            return DisasmFailed;
        }
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
    return WriteListing(source, listing, err) ? DisasmOk : DisasmFailed;
}

} // namespace kadrel
