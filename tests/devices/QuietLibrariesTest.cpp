#include "midi/devices/QuietLibraries.h"
#include "core/ChildProcess.h"
#include "midi/MidiOutService.h"
#include "midi/devices/SystemMidiOut.h"
#include "midi/devices/SystemMidiPort.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace kadrel {
namespace {

// What a start-up probes on a machine with JACK's client library and no JACK server: the
// system's MIDI ports are listed (JACK's when ALSA has none) and JACK is tried as an audio
// output. The probes run in a child whose terminal is a file, so that whatever a library
// writes straight to its descriptors is caught.
TEST(QuietLibraries, ProbesWithoutJackServerPrintNothingButTheProgramsOwnLines) {
    const std::filesystem::path terminal =
        std::filesystem::temp_directory_path() / ("kadrel-terminal-" + std::to_string(getpid()));
    const test::ChildResult child = test::RunInChild([&](const auto& report) {
        // No JACK server runs under this name, whatever runs on the machine.
        setenv("JACK_DEFAULT_SERVER", ("kadrel-none-" + std::to_string(getpid())).c_str(), 1);
        const int fd = ::open(terminal.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || ::dup2(fd, 1) < 0 || ::dup2(fd, 2) < 0)
            return 1;
        SystemMidiPort::PortNames();
        SystemMidiOut service(AudioSettings{{"jack"}, {}});
        MidiOutHandle handle = 0;
        report(std::to_string(service.Open(0, handle)));
        // The program's own lines, through both ways it could write them, still get through.
        std::cerr << "own line\n" << std::flush;
        std::fprintf(stderr, "own printf\n");
        std::fflush(stdout);
        return 0;
    });
    std::stringstream printed;
    printed << std::ifstream(terminal).rdbuf();
    std::filesystem::remove(terminal);

    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.report, std::to_string(MidiResult::NoDriver)) << "no JACK server, no output";
    EXPECT_EQ(printed.str(), "own line\nown printf\n");
}

} // namespace
} // namespace kadrel
