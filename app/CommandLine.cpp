#include "editor/CommandLine.h"

#ifndef KADREL_VERSION
#define KADREL_VERSION "0"
#endif

#include <algorithm>
#include <array>
#include <string_view>

namespace kadrel {

namespace {

// Qt's own command-line options, which it takes out of the arguments itself. The first ones
// take a value, as the next argument or after "=".
constexpr std::array<std::string_view, 16> QtOptionsWithValue = {
    "platform",     "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon",  "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",      "geometry",           "name",          "title",  "visual",
    "qmljsdebugger"};
constexpr std::array<std::string_view, 6> QtFlags = {"reverse", "widgetcount", "nograb",
                                                     "dograb",  "sync",        "testability"};

// How many arguments from args[i] on are one of Qt's options: 0 when it is none.
std::size_t QtOptionLength(const std::vector<std::string>& args, std::size_t i) {
    std::string_view arg = args[i];
    if (arg.size() < 2 || arg[0] != '-')
        return 0;
    arg.remove_prefix(arg[1] == '-' ? 2 : 1);
    const auto equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const auto is = [&](const auto& names) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    if (is(QtFlags))
        return equals == std::string_view::npos ? 1 : 0;
    if (is(QtOptionsWithValue)) {
        if (equals != std::string_view::npos)
            return 1;
        return i + 1 < args.size() ? 2 : 0;
    }
    return 0;
}

} // namespace

EditorArguments ParseEditorArguments(const std::vector<std::string>& args) {
    EditorArguments result;
    bool optionsEnded = false;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded) {
            if (const std::size_t qt = QtOptionLength(args, i); qt > 0) {
                i += qt - 1;
                continue;
            }
        }
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
