#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel {

// The one way Kadrel's programs read their arguments:
// - options may come anywhere before "--", which ends them: what follows is file names, even
//   when they start with "-" ("-" alone is always a file name);
// - -h or --help, -v or --version anywhere before "--" ask for the help or the version, and
//   nothing else is done;
// - an option that the program does not know is named; so is an empty file name;
// - a missing file name is named by its place in the usage line, an extra one by its text.
struct CommandLineRules {
    std::string_view Program;              // "kadrel-disasm"
    std::vector<std::string_view> Options; // the program's own options: "--all"
    // The file names the program takes, as the usage line names them; the first
    // RequiredFiles of them must be given.
    std::vector<std::string_view> Files;
    std::size_t RequiredFiles = 0;
    // Someone else's options that the program passes over (Qt's): how many arguments from
    // args[i] on make one of them, 0 when args[i] is none.
    std::function<std::size_t(const std::vector<std::string>& args, std::size_t i)> PassOver;
};

struct CommandLine {
    enum class Action {
        Run,     // do the program's work
        Help,    // print the help, exit 0
        Version, // print the version, exit 0
        Usage,   // wrong arguments: print Problem and the usage line, exit 2
    };
    Action What = Action::Run;
    std::vector<std::string> Options; // the program's own options given, in order
    std::vector<std::string> Files;
    std::string Problem; // what is wrong, in French, when What is Usage

    bool Has(std::string_view option) const;
};

CommandLine ParseCommandLine(const CommandLineRules& rules, const std::vector<std::string>& args);

// Exit statuses shared by the programs.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitWrongUsage = 2;

// The texts of a program's help.
struct CommandLineTexts {
    std::string_view Program;     // "kadrel-disasm"
    std::string_view Usage;       // "Utilisation : kadrel-disasm [--all] SOURCE [LISTE]"
    std::string_view Description; // lines ending with a line feed, shown after the usage line
    std::string_view OwnOptions;  // the program's own options, one line each, or ""
};

// The options that every program takes, as the help lists them.
std::string SharedOptionsHelp();
// The help: the usage line, the description, then the options.
std::string HelpText(const CommandLineTexts& texts);
// "kadrel-disasm 0.1", with a line feed.
std::string VersionText(std::string_view program);

// Answers a command line that asks for no work: the help or the version on out, or the problem
// (escaped for the terminal) and the usage line on err. Returns the exit status (1 when the help
// or the version could not be written whole), or nothing when the program must run.
std::optional<int> AnswerWithoutRunning(const CommandLine& parsed, const CommandLineTexts& texts,
                                        std::ostream& out, std::ostream& err);

} // namespace kadrel
