#pragma once

#include <string>
#include <vector>

namespace kadrel {

// What `kadrel [FILE]` was asked to do.
struct EditorArguments {
    enum class Action {
        Run,     // start the editor, opening File when it is not ""
        Help,    // print the help text, exit 0
        Version, // print the version, exit 0
        Usage,   // wrong arguments: print Problem and the usage line, exit 2
    };
    Action What = Action::Run;
    std::string File;
    std::string Problem;
};

// Reads the arguments after the program's name. Qt's own options (-platform NAME, -style=NAME,
// -reverse, ...) are passed over: Qt takes them. One file at most; "--" ends the options, so
// that a file whose name starts with "-" can be opened.
EditorArguments ParseEditorArguments(const std::vector<std::string>& args);

// The texts printed on the terminal, each ending with a line feed.
std::string EditorUsageText();
std::string EditorHelpText();
std::string EditorVersionText();

// Exit status of a run that only printed: 0 for the help and the version, 2 for wrong usage.
int ExitStatusOf(EditorArguments::Action action);

} // namespace kadrel
