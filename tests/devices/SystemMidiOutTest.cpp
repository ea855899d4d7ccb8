#include "midi/devices/SystemMidiOut.h"
#include "core/ErrorOf.h"
#include "midi/MidiOutput.h"
#include "midi/devices/Synthesizer.h"
#include "midi/devices/SystemMidiPort.h"
#include "util/Error.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kadrel {
namespace {

using namespace std::chrono_literals;

const char* const noDriverText = "Couldn't open MIDI output: error 6 (No device driver present)";
const char* const badDeviceText = "Couldn't open MIDI output: error 2 (Device ID out of range)";

using test::ErrorOf;

// A file in the temporary folder that is gone when the test ends.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& name)
        : path_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {}
    ~TemporaryFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    std::string Path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// Raw interleaved stereo 16-bit samples, mixed to one channel in -1..1.
std::vector<float> ReadRawStereo(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<float> samples;
    std::int16_t frame[2];
    while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) {
        samples.push_back((frame[0] + frame[1]) / 65536.0f);
    }
    return samples;
}

double Rms(const std::vector<float>& samples, std::size_t begin, std::size_t end) {
    double sum = 0.0;
    for (std::size_t i = begin; i < end && i < samples.size(); ++i) {
        sum += double(samples[i]) * samples[i];
    }
    return end > begin ? std::sqrt(sum / double(end - begin)) : 0.0;
}

TEST(SystemMidiOut, DeviceZeroSoundsOrReportsTheMissingDriverQuicklyAndQuietly) {
    SystemMidiOut out;
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    {
        // A desktop opens it; a machine without sound or soundfont refuses with code 6.
        error = ErrorOf([&] {
            TMidiOutput port(0, true, out);
            port.ChangePatch(0, 0);
            port.NoteOn(0, 60, 127);
            port.NoteOff(0, 60);
        });
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const std::string printed = testing::internal::GetCapturedStderr();
    if (!error.empty()) {
        EXPECT_EQ(error, noDriverText);
    }
    EXPECT_LT(elapsed, 3s);
    EXPECT_EQ(printed, "");
}

TEST(SystemMidiOut, DeviceNumbersBeyondTheLastPortAreOutOfRange) {
    SystemMidiOut out;
    testing::internal::CaptureStderr();
    const auto portCount = std::uint32_t(SystemMidiPort::PortNames().size());
    const std::uint32_t missing[] = {portCount + 1, portCount + 2, 1000000u, 0xFFFFFFFFu};
    for (const std::uint32_t device : missing) {
        EXPECT_EQ(ErrorOf([&] { TMidiOutput port(device, true, out); }), badDeviceText)
            << "device " << device;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(SystemMidiOut, NoWorkingAudioDriverIsNoDeviceDriver) {
    SystemMidiOut out(AudioSettings{{"no-such-driver"}, {}});
    testing::internal::CaptureStderr();
    EXPECT_EQ(ErrorOf([&] { TMidiOutput port(0, true, out); }), noDriverText);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(SystemMidiOut, HandlesThatAreNotOpenAreInvalid) {
    SystemMidiOut out;
    EXPECT_EQ(out.ShortMsg(0, 0x007F3C90), MidiResult::InvalidHandle);
    EXPECT_EQ(out.ShortMsg(12345, 0x007F3C90), MidiResult::InvalidHandle);
    EXPECT_EQ(out.Close(0), MidiResult::InvalidHandle);
}

// The built-in synthesizer through the whole service, sounding into a file instead of a sound
// card: FluidSynth's file driver renders in real time like a card would.
TEST(SystemMidiOut, BuiltInSynthesizerPlaysWhatThePortSends) {
    ASSERT_FALSE(Synthesizer::SoundFontCandidates().empty()) << "install timgm6mb-soundfont";
    const TemporaryFile file("kadrel-device0.raw");
    {
        SystemMidiOut out(AudioSettings{{"file"}, file.Path()});
        TMidiOutput port(0, true, out);
        std::this_thread::sleep_for(200ms);
        port.ChangePatch(0, 73); // flute: it holds its level while the note is on
        port.NoteOn(0, 60, 127);
        std::this_thread::sleep_for(500ms);
        port.AllNotesOff(0);
        std::this_thread::sleep_for(1000ms);
    }
    const std::vector<float> sound = ReadRawStereo(file.Path());
    const std::size_t msFrames = Synthesizer::SampleRate / 1000;
    // The driver's clock and ours start apart by a few periods: leave 50 ms either side.
    ASSERT_GE(sound.size(), 1500 * msFrames);
    EXPECT_LT(Rms(sound, 0, 150 * msFrames), 1e-4);
    const double sounding = Rms(sound, 300 * msFrames, 650 * msFrames);
    EXPECT_GT(sounding, 0.005);
    EXPECT_LT(Rms(sound, 1300 * msFrames, 1500 * msFrames), sounding * 0.05);
}

TEST(SystemMidiOut, EachDeviceOpensOnceAtATime) {
    ASSERT_FALSE(Synthesizer::SoundFontCandidates().empty()) << "install timgm6mb-soundfont";
    const TemporaryFile file("kadrel-twice.raw");
    SystemMidiOut out(AudioSettings{{"file"}, file.Path()});
    MidiOutHandle first = 0;
    MidiOutHandle second = 0;
    ASSERT_EQ(out.Open(0, first), MidiResult::NoError);
    EXPECT_EQ(out.Open(0, second), MidiResult::Allocated);
    EXPECT_EQ(out.ShortMsg(first, 0x007F3C90), MidiResult::NoError);
    EXPECT_EQ(out.ShortMsg(first, 0x000000F0), MidiResult::InvalidParam);
    EXPECT_EQ(out.Close(first), MidiResult::NoError);
    EXPECT_EQ(out.ShortMsg(first, 0x00003C80), MidiResult::InvalidHandle);
    EXPECT_EQ(out.Close(first), MidiResult::InvalidHandle);
    // Closed, it opens again under a new handle.
    ASSERT_EQ(out.Open(0, second), MidiResult::NoError);
    EXPECT_NE(second, first);
    EXPECT_EQ(out.Close(second), MidiResult::NoError);
}

TEST(SystemMidiOut, PortRefusedByTheServiceKeepsTheSpecifiedTexts) {
    const TemporaryFile file("kadrel-texts.raw");
    SystemMidiOut out(AudioSettings{{"file"}, file.Path()});
    TMidiOutput port(0, true, out);
    EXPECT_EQ(ErrorOf([&] { port.NoteOn(0, 200, 127); }),
              "Couldn't send MIDI short message: error 11 (Invalid parameter passed)");
    EXPECT_EQ(ErrorOf([&] { TMidiOutput other(0, true, out); }),
              "Couldn't open MIDI output: error 4 (Device already allocated)");
}

} // namespace
} // namespace kadrel
