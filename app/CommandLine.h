#pragma once

#include <iosfwd>
#include <optional>
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
    std::string File; // the bytes of the name as the system gave them
    std::string Problem;
};

// Reads the arguments after the program's name as every Kadrel program reads them
// (util/CommandLineArgs.h), one file at most. Qt's own options (-platform NAME, -style=NAME,
// -reverse, ...) before "--" are passed over: Qt takes them.
EditorArguments ParseEditorArguments(const std::vector<std::string>& args);

// The texts printed on the terminal, each ending with a line feed.
std::string EditorUsageText();
std::string EditorHelpText();
std::string EditorVersionText();

// Exit status of a run that only printed: 0 for the help and the version, 2 for wrong usage.
int ExitStatusOf(EditorArguments::Action action);

// Prints what the arguments ask for (the help or the version on out, the problem, escaped for
// the terminal, and the usage line on err) and gives the exit status; nothing when the editor
// must run.
std::optional<int> AnswerOnTerminal(const EditorArguments& parsed, std::ostream& out,
                                    std::ostream& err);

// The file given on the command line as a full path, still the bytes that the system gave: a
// relative name is taken from the current folder.
std::string AbsoluteFileName(const std::string& name);

} // namespace kadrel
