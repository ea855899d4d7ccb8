#include "util/CommandLineArgs.h"
#include "util/Error.h"
#include "util/TerminalText.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kadrel {
namespace {

using Action = CommandLine::Action;

const CommandLineRules Disasm = {"kadrel-disasm", {"--all"}, {"SOURCE", "LISTE"}, 1, {}};
const CommandLineRules Render = {"kadrel-render", {}, {"MORCEAU.mid", "SORTIE.wav"}, 2, {}};
// Passes over "-qt VALUE", as the editor passes over Qt's options.
const CommandLineRules Editor = {
    "kadrel", {}, {"FICHIER"}, 0, [](const std::vector<std::string>& args, std::size_t i) {
        return args[i] == "-qt" && i + 1 < args.size() ? std::size_t{2} : std::size_t{0};
    }};

TEST(CommandLineArgs, OneReadingForEveryProgram) {
    const struct {
        const CommandLineRules& rules;
        std::vector<std::string> args;
        Action what;
        std::vector<std::string> options;
        std::vector<std::string> files;
        std::string problem;
    } cases[] = {
        {Disasm, {"a.mid"}, Action::Run, {}, {"a.mid"}, ""},
        {Disasm, {"--all", "a.mid", "b.txt"}, Action::Run, {"--all"}, {"a.mid", "b.txt"}, ""},
        {Disasm, {"a.mid", "--all"}, Action::Run, {"--all"}, {"a.mid"}, ""},
        {Disasm, {"--", "-a.mid", "--all"}, Action::Run, {}, {"-a.mid", "--all"}, ""},
        {Disasm, {"-"}, Action::Run, {}, {"-"}, ""},
        {Disasm, {"a.mid", "--help"}, Action::Help, {}, {}, ""},
        {Disasm, {"--bogus", "-h"}, Action::Help, {}, {}, ""},
        {Disasm, {"a", "b", "c", "--version"}, Action::Version, {}, {}, ""},
        {Disasm, {"-v"}, Action::Version, {}, {}, ""},
        {Disasm, {"a.mid", "--", "--help"}, Action::Run, {}, {"a.mid", "--help"}, ""},
        {Disasm, {"--", "--version"}, Action::Run, {}, {"--version"}, ""},
        {Disasm, {"--x", "a.mid"}, Action::Usage, {}, {}, "option inconnue : --x"},
        {Disasm, {"a.mid", "-o"}, Action::Usage, {}, {}, "option inconnue : -o"},
        {Disasm, {}, Action::Usage, {}, {}, "il manque SOURCE"},
        {Disasm, {"--"}, Action::Usage, {}, {}, "il manque SOURCE"},
        {Disasm, {"a", "b", "c"}, Action::Usage, {}, {}, "fichier en trop : c"},
        {Disasm, {"a", ""}, Action::Usage, {}, {}, "nom de fichier vide"},
        {Render, {"a.mid"}, Action::Usage, {}, {}, "il manque SORTIE.wav"},
        {Render, {"--all", "a", "b"}, Action::Usage, {}, {}, "option inconnue : --all"},
        {Render, {"--", "-a.mid", "o.wav"}, Action::Run, {}, {"-a.mid", "o.wav"}, ""},
        {Editor, {"-qt", "x", "a.mid"}, Action::Run, {}, {"a.mid"}, ""},
        {Editor, {"--", "-qt", "x"}, Action::Usage, {}, {}, "fichier en trop : x"},
        {Editor, {}, Action::Run, {}, {}, ""},
    };
    for (const auto& c : cases) {
        std::string shown = std::string(c.rules.Program);
        for (const std::string& arg : c.args)
            shown += " '" + arg + "'";
        const CommandLine parsed = ParseCommandLine(c.rules, c.args);
        EXPECT_EQ(parsed.What, c.what) << shown;
        EXPECT_EQ(parsed.Options, c.options) << shown;
        EXPECT_EQ(parsed.Files, c.files) << shown;
        EXPECT_EQ(parsed.Problem, c.problem) << shown;
    }
}

TEST(CommandLineArgs, AnswersOnTheTerminal) {
    const CommandLineTexts texts = {"kadrel-disasm", "Utilisation : kadrel-disasm SOURCE",
                                    "Fait ceci.\n", "  --all          tout\n"};
    const struct {
        CommandLine parsed;
        std::optional<int> status;
        std::string out, err;
    } cases[] = {
        {{Action::Run, {}, {"a"}, ""}, std::nullopt, "", ""},
        {{Action::Help, {}, {}, ""},
         ExitOk,
         "Utilisation : kadrel-disasm SOURCE\nFait ceci.\n\nOptions :\n  --all          tout\n" +
             SharedOptionsHelp(),
         ""},
        {{Action::Version, {}, {}, ""}, ExitOk, "kadrel-disasm " KADREL_TEST_VERSION "\n", ""},
        {{Action::Usage, {}, {}, "option inconnue : -\x1B[31m"},
         ExitWrongUsage,
         "",
         "kadrel-disasm : option inconnue : -\\x1B[31m\nUtilisation : kadrel-disasm SOURCE\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(AnswerWithoutRunning(c.parsed, texts, out, err), c.status);
        EXPECT_EQ(out.str(), c.out);
        EXPECT_EQ(err.str(), c.err);
    }
    EXPECT_NE(SharedOptionsHelp().find("--help"), std::string::npos);
    EXPECT_NE(SharedOptionsHelp().find("--version"), std::string::npos);
}

TEST(TerminalText, ControlCharactersAndStrayBytesAreEscaped) {
    const struct {
        std::string text;
        bool keepLineFeeds;
        std::string shown;
    } cases[] = {
        {"plain été.mid", false, "plain été.mid"},
        {"\x1B]2;PWNED\a", false, "\\x1B]2;PWNED\\x07"},
        {"a\nb\rc\td", false, "a\\nb\\rc\\td"},
        {"a\nb", true, "a\nb"},
        {"del\x7F", false, "del\\x7F"},
        {"caf\xE9.mid", false, "caf\\xE9.mid"}, // Latin-1, not UTF-8
        {"csi\xC2\x9B"
         "31m",
         false, "csi\\xC2\\x9B31m"},                // the C1 control CSI
        {"\xE2\x82", false, "\\xE2\\x82"},          // a sequence cut short
        {"\xED\xA0\x80", false, "\\xED\\xA0\\x80"}, // a surrogate
        {"\xC0\xAF", false, "\\xC0\\xAF"},          // an overlong form
        {"\xF0\x9F\x8E\xB9", false, "\xF0\x9F\x8E\xB9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TerminalText(c.text, c.keepLineFeeds), c.shown) << c.shown;
}

TEST(TerminalText, AnErrorsFileNameIsEscapedWholeAndItsLinesKept) {
    const Error named("Première ligne\nImpossible d'ouvrir le fichier ", "a\nb\x1B.mid", " : non");
    EXPECT_EQ(std::string(named.what()),
              "Première ligne\nImpossible d'ouvrir le fichier a\nb\x1B.mid : non");
    EXPECT_EQ(TerminalMessage(named),
              "Première ligne\nImpossible d'ouvrir le fichier a\\nb\\x1B.mid : non");
    EXPECT_EQ(TerminalMessage(Error("deux\nlignes\x1B")), "deux\nlignes\\x1B");
    EXPECT_EQ(TerminalMessage(std::runtime_error("x\x07")), "x\\x07");
}

} // namespace
} // namespace kadrel
