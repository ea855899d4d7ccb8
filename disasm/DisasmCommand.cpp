#include "disasm/DisasmCommand.h"

#include "disasm/Disassembler.h"
#include "util/Error.h"
#include "util/TerminalText.h"

#include <ostream>

namespace kadrel {

namespace {

const CommandLineRules Rules = {
    .Program = "kadrel-disasm",
    .Options = {"--all"},
    .Files = {"SOURCE", "LISTE"},
    .RequiredFiles = 1,
    .PassOver = {},
};

const CommandLineTexts Texts = {
    .Program = "kadrel-disasm",
    .Usage = "Utilisation : kadrel-disasm [--all] SOURCE [LISTE]",
    .Description = "Écrit le désassemblage de SOURCE, lue comme fichier MIDI, dans LISTE\n"
                   "(par défaut SOURCE suivi de \".txt\").\n",
    .OwnOptions = "  --all          la liste continue là où elle s'arrêterait et montre chaque\n"
                  "                 octet de chaque bloc\n",
};

} // namespace

int RunDisasmCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CommandLine parsed = ParseCommandLine(Rules, args);
    if (const auto status = AnswerWithoutRunning(parsed, Texts, out, err))
        return *status;

    const std::string& source = parsed.Files[0];
    const std::string listing = parsed.Files.size() == 2 ? parsed.Files[1] : source + ".txt";
    try {
        if (Disassemble(source, listing,
                        parsed.Has("--all") ? ListingWalkKind::Full : ListingWalkKind::Checked))
            return DisasmOk;
        err << TerminalMessage(Error("Erreur d'écriture du fichier ", listing)) << "\n";
    } catch (const Error& e) {
        err << TerminalMessage(e) << "\n";
    }
    return DisasmFailed;
}

} // namespace kadrel
