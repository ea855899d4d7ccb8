#include "app/CommandLine.h"

#include "util/CommandLineArgs.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string_view>
#include <unistd.h>

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

const CommandLineRules Rules = {
    .Program = "kadrel",
    .Options = {},
    .Files = {"FICHIER"},
    .RequiredFiles = 0,
    .PassOver = QtOptionLength,
};

const CommandLineTexts Texts = {
    .Program = "kadrel",
    .Usage = "Utilisation : kadrel [--help] [--version] [FICHIER]",
    .Description = "Éditeur de fichiers MIDI. Ouvre FICHIER au démarrage quand il est donné.\n",
    .OwnOptions = "",
};

EditorArguments::Action ActionOf(CommandLine::Action action) {
    switch (action) {
    case CommandLine::Action::Run:
        return EditorArguments::Action::Run;
    case CommandLine::Action::Help:
        return EditorArguments::Action::Help;
    case CommandLine::Action::Version:
        return EditorArguments::Action::Version;
    case CommandLine::Action::Usage:
        break;
    }
    return EditorArguments::Action::Usage;
}

CommandLine::Action ActionOf(EditorArguments::Action action) {
    switch (action) {
    case EditorArguments::Action::Run:
        return CommandLine::Action::Run;
    case EditorArguments::Action::Help:
        return CommandLine::Action::Help;
    case EditorArguments::Action::Version:
        return CommandLine::Action::Version;
    case EditorArguments::Action::Usage:
        break;
    }
    return CommandLine::Action::Usage;
}

} // namespace

EditorArguments ParseEditorArguments(const std::vector<std::string>& args) {
    const CommandLine parsed = ParseCommandLine(Rules, args);
    EditorArguments result;
    result.What = ActionOf(parsed.What);
    result.Problem = parsed.Problem;
    if (parsed.What == CommandLine::Action::Run && !parsed.Files.empty())
        result.File = parsed.Files.front();
    return result;
}

std::string EditorUsageText() {
    return std::string(Texts.Usage) + "\n";
}

std::string EditorHelpText() {
    return HelpText(Texts);
}

std::string EditorVersionText() {
    return VersionText(Texts.Program);
}

int ExitStatusOf(EditorArguments::Action action) {
    return action == EditorArguments::Action::Usage ? ExitWrongUsage : ExitOk;
}

std::optional<int> AnswerOnTerminal(const EditorArguments& parsed, std::ostream& out,
                                    std::ostream& err) {
    CommandLine line;
    line.What = ActionOf(parsed.What);
    line.Problem = parsed.Problem;
    return AnswerWithoutRunning(line, Texts, out, err);
}

std::string AbsoluteFileName(const std::string& name) {
    if (name.starts_with('/'))
        return name;
    char folder[PATH_MAX];
    if (::getcwd(folder, sizeof folder) == nullptr)
        return name;
    const std::string base = folder;
    return base + (base.ends_with('/') ? "" : "/") + name;
}

} // namespace kadrel
