#include "util/CommandLineArgs.h"

#include "util/TerminalText.h"

#include <algorithm>
#include <ostream>

#ifndef KADREL_VERSION
#define KADREL_VERSION "0"
#endif

namespace kadrel {

namespace {

bool IsHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

bool IsVersion(std::string_view arg) {
    return arg == "--version" || arg == "-v";
}

bool LooksLikeOption(std::string_view arg) {
    return arg.size() > 1 && arg[0] == '-';
}

CommandLine Wrong(std::string problem) {
    CommandLine parsed;
    parsed.What = CommandLine::Action::Usage;
    parsed.Problem = std::move(problem);
    return parsed;
}

} // namespace

bool CommandLine::Has(std::string_view option) const {
    return std::find(Options.begin(), Options.end(), option) != Options.end();
}

CommandLine ParseCommandLine(const CommandLineRules& rules, const std::vector<std::string>& args) {
    // --help and --version win over anything wrong before "--", as a user asking for help
    // expects.
    const auto end = std::find(args.begin(), args.end(), "--");
    for (auto it = args.begin(); it != end; ++it) {
        if (IsHelp(*it) || IsVersion(*it)) {
            CommandLine asked;
            asked.What = IsHelp(*it) ? CommandLine::Action::Help : CommandLine::Action::Version;
            return asked;
        }
    }

    CommandLine parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded) {
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            if (rules.PassOver) {
                if (const std::size_t taken = rules.PassOver(args, i); taken > 0) {
                    i += taken - 1;
                    continue;
                }
            }
            if (LooksLikeOption(arg)) {
                if (std::find(rules.Options.begin(), rules.Options.end(), arg) ==
                    rules.Options.end())
                    return Wrong("option inconnue : " + arg);
                parsed.Options.push_back(arg);
                continue;
            }
        }
        if (arg.empty())
            return Wrong("nom de fichier vide");
        if (parsed.Files.size() == rules.Files.size())
            return Wrong("fichier en trop : " + arg);
        parsed.Files.push_back(arg);
    }
    if (parsed.Files.size() < rules.RequiredFiles)
        return Wrong("il manque " + std::string(rules.Files[parsed.Files.size()]));
    return parsed;
}

std::string SharedOptionsHelp() {
    return "  -h, --help     affiche cette aide et quitte\n"
           "  -v, --version  affiche la version et quitte\n"
           "  --             la suite est faite de noms de fichiers, même commençant par -\n";
}

std::string HelpText(const CommandLineTexts& texts) {
    return std::string(texts.Usage) + "\n" + std::string(texts.Description) + "\nOptions :\n" +
           std::string(texts.OwnOptions) + SharedOptionsHelp();
}

std::string VersionText(std::string_view program) {
    return std::string(program) + " " + KADREL_VERSION + "\n";
}

std::optional<int> AnswerWithoutRunning(const CommandLine& parsed, const CommandLineTexts& texts,
                                        std::ostream& out, std::ostream& err) {
    using Action = CommandLine::Action;
    if (parsed.What == Action::Run)
        return std::nullopt;
    if (parsed.What == Action::Usage) {
        err << texts.Program << " : " << TerminalText(parsed.Problem) << "\n"
            << texts.Usage << "\n";
        err.flush();
        return ExitWrongUsage;
    }
    out << (parsed.What == Action::Help ? HelpText(texts) : VersionText(texts.Program));
    // A full disk or a closed pipe must not end in success with the text lost.
    out.flush();
    if (out.fail()) {
        err << "Erreur d'écriture de l'aide sur la sortie standard\n";
        return ExitFailed;
    }
    return ExitOk;
}

} // namespace kadrel
