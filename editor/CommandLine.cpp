#include "editor/CommandLine.h"

#ifndef KADREL_VERSION
#define KADREL_VERSION "0"
#endif

namespace kadrel {

EditorArguments ParseEditorArguments(const std::vector<std::string>& args) {
    EditorArguments result;
    bool optionsEnded = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            result.What = EditorArguments::Action::Help;
            return result;
        } else if (!optionsEnded && (arg == "--version" || arg == "-v")) {
            result.What = EditorArguments::Action::Version;
            return result;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            result.What = EditorArguments::Action::Usage;
            result.Problem = "option inconnue : " + arg;
            return result;
        } else if (arg.empty()) {
            result.What = EditorArguments::Action::Usage;
            result.Problem = "nom de fichier vide";
            return result;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() > 1) {
        result.What = EditorArguments::Action::Usage;
        result.Problem = "un seul fichier à la fois";
        return result;
    }
    if (!files.empty())
        result.File = files.front();
    return result;
}

bool AsksForHelpOrVersion(const std::vector<std::string>& args) {
    const auto what = ParseEditorArguments(args).What;
    return what == EditorArguments::Action::Help || what == EditorArguments::Action::Version;
}

std::string EditorUsageText() {
    return "Utilisation : kadrel [--help] [--version] [FICHIER]\n";
}

std::string EditorHelpText() {
    return EditorUsageText() +
           "Éditeur de fichiers MIDI. Ouvre FICHIER au démarrage quand il est donné.\n"
           "\n"
           "  -h, --help     affiche cette aide et quitte\n"
           "  -v, --version  affiche la version et quitte\n"
           "  --             la suite est le nom du fichier, même s'il commence par -\n";
}

std::string EditorVersionText() {
    return std::string("kadrel ") + KADREL_VERSION + "\n";
}

int ExitStatusOf(EditorArguments::Action action) {
    return action == EditorArguments::Action::Usage ? 2 : 0;
}

} // namespace kadrel
