#include "midi/devices/SynthesizerOutput.h"
#include "midi/MidiOutService.h"

#include "AudioMeasures.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
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

} // namespace
} // namespace kadrel
