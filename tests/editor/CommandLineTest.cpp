#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace kadrel {
namespace {

using Action = EditorArguments::Action;

TEST(CommandLine, ArgumentsGiveTheActionAndTheFile) {
    const struct {
        std::vector<std::string> args;
        Action what;
        std::string file;
        int status;
    } cases[] = {
        {{}, Action::Run, "", 0},
        {{"song.mid"}, Action::Run, "song.mid", 0},
        {{"/tmp/a b.mid"}, Action::Run, "/tmp/a b.mid", 0},
        {{"--", "-odd.mid"}, Action::Run, "-odd.mid", 0},
        {{"-"}, Action::Run, "-", 0},
        {{"--help"}, Action::Help, "", 0},
        {{"-h"}, Action::Help, "", 0},
        {{"song.mid", "--version"}, Action::Version, "", 0},
        {{"-v"}, Action::Version, "", 0},
        {{"--bogus"}, Action::Usage, "", 2},
        {{"-x", "song.mid"}, Action::Usage, "", 2},
        {{"a.mid", "b.mid"}, Action::Usage, "", 2},
        {{""}, Action::Usage, "", 2},
        {{"--", "--help"}, Action::Run, "--help", 0},
        {{"-platform", "offscreen", "song.mid"}, Action::Run, "song.mid", 0},
        {{"--style=fusion", "-reverse", "song.mid"}, Action::Run, "song.mid", 0},
        {{"song.mid", "-style"}, Action::Usage, "", 2},
        {{"-reverse=1"}, Action::Usage, "", 2},
    };
    for (const auto& c : cases) {
        const EditorArguments parsed = ParseEditorArguments(c.args);
        const std::string shown = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(parsed.What, c.what) << shown;
        EXPECT_EQ(parsed.File, c.file) << shown;
        EXPECT_EQ(ExitStatusOf(parsed.What), c.status) << shown;
        EXPECT_EQ(parsed.What == Action::Usage, !parsed.Problem.empty()) << shown;
    }
}

TEST(CommandLine, TextsNameTheProgramAndItsVersion) {
    EXPECT_EQ(EditorUsageText(), "Utilisation : kadrel [--help] [--version] [FICHIER]\n");
    EXPECT_EQ(EditorHelpText().rfind(EditorUsageText(), 0), 0u);
    EXPECT_EQ(EditorVersionText(), "kadrel " KADREL_TEST_VERSION "\n");
}

} // namespace
} // namespace kadrel
