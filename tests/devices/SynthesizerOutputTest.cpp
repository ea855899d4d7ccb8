#include "midi/devices/SynthesizerOutput.h"
#include "midi/MidiOutService.h"

#include "AudioMeasures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>
#include <vector>

namespace kadrel {
namespace {

using namespace std::chrono_literals;

// The idle time of these tests, much shorter than the editor's ten seconds.
constexpr auto idle = 200ms;

class SynthesizerOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Synthesizer::SoundFontCandidates().empty()) << "install timgm6mb-soundfont";
        AudioSettings audio{{"file"}, file_.string()};
        audio.IdleRelease = idle;
        std::unique_ptr<OutputDevice> device;
        ASSERT_EQ(SynthesizerOutput::Open(device, audio), MidiResult::NoError);
        output_.reset(static_cast<SynthesizerOutput*>(device.release()));
    }

    void TearDown() override {
        output_.reset();
        std::error_code ignored;
        std::filesystem::remove(file_, ignored);
    }

    // Waits up to 5 s for the output to be held or given back; true when it came to that.
    bool BecomesRunning(bool running) {
        for (int i = 0; i < 500; ++i) {
            if (output_->AudioRunning() == running)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // What the file driver wrote since the output was last taken, mixed to one channel.
    std::vector<float> Written() {
        std::ifstream in(file_, std::ios::binary);
        std::vector<float> samples;
        std::int16_t frame[2];
        while (in.read(reinterpret_cast<char*>(frame), sizeof frame))
            samples.push_back((frame[0] + frame[1]) / 65536.0f);
        return samples;
    }

    const std::filesystem::path file_ = std::filesystem::temp_directory_path() /
                                        ("kadrel-idle-" + std::to_string(getpid()) + ".raw");
    std::unique_ptr<SynthesizerOutput> output_;
};

TEST_F(SynthesizerOutputTest, GivesTheOutputBackWhenIdleAndTakesItAgainAtTheNextMessage) {
    EXPECT_TRUE(output_->AudioRunning()) << "held from the opening";
    ASSERT_TRUE(BecomesRunning(false)) << "given back after the idle time";

    EXPECT_EQ(output_->Send(0x000049C0), MidiResult::NoError); // flute, a held tone
    EXPECT_TRUE(output_->AudioRunning()) << "taken again by the message itself";
    EXPECT_EQ(output_->Send(0x007F3C90), MidiResult::NoError);
    std::this_thread::sleep_for(3 * idle);
    EXPECT_TRUE(output_->AudioRunning()) << "a sounding note keeps it, however long ago sent";

    EXPECT_EQ(output_->Send(0x00003C80), MidiResult::NoError);
    ASSERT_TRUE(BecomesRunning(false)) << "given back once the note has died away";
    // The file holds what was played since the output was taken again: the note.
    EXPECT_GT(test::Rms(Written(), 0, 200 * Synthesizer::SampleRate / 1000), 0.005);
}

// Giving the output back waits for the output's thread, which may be stuck in a write (a sound
// server that stopped reading, here a pipe that nobody reads): neither a message nor a look at
// the output may wait for that.
TEST(SynthesizerOutput, NeitherAMessageNorALookWaitsForTheOutputGivenBack) {
    ASSERT_FALSE(Synthesizer::SoundFontCandidates().empty()) << "install timgm6mb-soundfont";
    const std::filesystem::path pipe =
        std::filesystem::temp_directory_path() / ("kadrel-stuck-" + std::to_string(getpid()));
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // A reader that reads nothing lets the output open the pipe; the pipe fills within 25 ms.
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ::fcntl(reader, F_SETPIPE_SZ, 4096);
    AudioSettings audio{{"file"}, pipe.string()};
    audio.IdleRelease = idle;
    std::unique_ptr<OutputDevice> device;
    ASSERT_EQ(SynthesizerOutput::Open(device, audio), MidiResult::NoError);
    auto* output = static_cast<SynthesizerOutput*>(device.get());

    // The timeouts are generous: only a wait for the stuck output runs into them.
    auto givenBack = std::async(std::launch::async, [&] {
        while (output->AudioRunning())
            std::this_thread::sleep_for(10ms);
    });
    const bool lookedInTime = givenBack.wait_for(10s) == std::future_status::ready;
    std::future<std::uint32_t> sent;
    bool sentInTime = false;
    if (lookedInTime) {
        sent = std::async(std::launch::async, [&] { return output->Send(0x007F3C90); });
        sentInTime = sent.wait_for(10s) == std::future_status::ready;
    }

    // Reading the pipe to its end lets every writer finish, whatever happened above.
    std::thread drain([reader] {
        ::fcntl(reader, F_SETFL, 0);
        char buffer[4096];
        while (::read(reader, buffer, sizeof buffer) > 0) {
        }
    });
    givenBack.wait();
    if (sent.valid())
        sent.wait();
    device.reset();
    drain.join();
    ::close(reader);
    std::filesystem::remove(pipe);

    EXPECT_TRUE(lookedInTime) << "AudioRunning waited for the output being given back";
    EXPECT_TRUE(sentInTime) << "Send waited for the output being given back";
    if (sent.valid()) {
        EXPECT_EQ(sent.get(), MidiResult::NoError);
    }
}

} // namespace
} // namespace kadrel
