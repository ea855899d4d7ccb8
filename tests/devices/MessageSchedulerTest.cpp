#include "midi/devices/MessageScheduler.h"
#include "midi/devices/Synthesizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <vector>

namespace kadrel {
namespace {

using TimePoint = MessageScheduler::TimePoint;

// A time on the steady clock, in milliseconds from an arbitrary start.
TimePoint At(double ms) {
    return TimePoint() + std::chrono::hours(1) +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
               std::chrono::duration<double, std::milli>(ms));
}

// A message played, at the count of frames rendered before it, all outputs together.
struct Heard {
    std::uint32_t Msg;
    std::int64_t Frame;
    bool operator==(const Heard&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Heard& heard) {
    return out << heard.Msg << "@" << heard.Frame;
}

// One call: a message sent, or a request of an output for frames.
struct Step {
    enum Kind { Send, Request } What;
    double Ms;
    std::uint32_t MsgOrStream;
    int Frames = 10;
};
constexpr auto S = Step::Send;
constexpr auto R = Step::Request;

// At 1000 frames a second, a frame is a millisecond; the period is 10 frames.
TEST(MessageScheduler, PlaysEachMessageAtTheSampleOfItsTimeOnePeriodLater) {
    struct Case {
        const char* Name;
        std::vector<Step> Steps;
        std::vector<Heard> Expected;
        std::int64_t Silent = 0; // frames of outputs on their way out
    };
    const Case cases[] = {
        {"a period after it was sent, at its own frame",
         {{R, 0, 1}, {S, 3, 1}, {R, 10, 1}, {S, 17.5, 2}, {R, 20, 1}, {R, 30, 1}},
         {{1, 13}, {2, 27}}},
        {"messages of one time keep their order",
         {{R, 0, 1}, {S, 4, 3}, {S, 4, 1}, {S, 4, 2}, {R, 10, 1}, {R, 20, 1}},
         {{3, 14}, {1, 14}, {2, 14}}},
        {"a late request moves nothing",
         {{R, 0, 1}, {R, 10, 1}, {S, 12, 1}, {R, 24, 1}, {R, 30, 1}},
         {{1, 22}}},
        {"an early request puts the timeline earlier",
         {{R, 0, 1}, {R, 10, 1}, {R, 15, 1}, {S, 16, 1}, {R, 30, 1}, {R, 40, 1}},
         {{1, 31}}},
        {"a message sent before the output started plays at its first frame",
         {{S, 0, 1}, {R, 50, 1}},
         {{1, 0}}},
        {"an output that asks for more than a period delays by what it asks",
         {{R, 0, 1, 20}, {S, 5, 1}, {R, 20, 1, 20}},
         {{1, 25}}},
        {"requests older than a second no longer place the timeline",
         {{R, 0, 1}, {R, 10, 1}, {R, 20, 1}, {R, 2000, 1}, {S, 2001, 1}, {R, 2010, 1}},
         {{1, 41}}},
        {"a new output starts a timeline of its own; the old one gets silence",
         {{R, 0, 1}, {R, 10, 1}, {S, 12, 1}, {R, 15, 2}, {R, 20, 1}, {R, 25, 2}},
         {{1, 27}},
         10},
    };
    for (const Case& c : cases) {
        std::int64_t rendered = 0;
        std::vector<Heard> heard;
        MessageScheduler scheduler(
            [&](std::uint32_t msg) {
                heard.push_back({msg, rendered});
            },
            [&](float* left, float* right, int frames) {
                std::fill_n(left, frames, 1.0f);
                std::fill_n(right, frames, 1.0f);
                rendered += frames;
            },
            1000, 10);
        std::int64_t requested = 0;
        std::int64_t silent = 0;
        for (const Step& step : c.Steps) {
            if (step.What == S) {
                scheduler.Post(step.MsgOrStream, At(step.Ms));
                continue;
            }
            // Every frame asked for is rendered or silent, none left as it was.
            std::vector<float> left(step.Frames, 7.0f);
            std::vector<float> right(step.Frames, 7.0f);
            scheduler.Render(step.MsgOrStream, left.data(), right.data(), step.Frames, At(step.Ms));
            requested += step.Frames;
            silent += std::count(left.begin(), left.end(), 0.0f);
            EXPECT_EQ(std::count(left.begin(), left.end(), 7.0f), 0) << c.Name;
        }
        EXPECT_EQ(heard, c.Expected) << c.Name;
        EXPECT_EQ(silent, c.Silent) << c.Name;
        EXPECT_EQ(rendered + silent, requested) << c.Name;
    }
}

TEST(MessageScheduler, RefusesMessagesBeyondWhatItCanHoldUntilSomeArePlayed) {
    int played = 0;
    MessageScheduler scheduler([&](std::uint32_t) { ++played; }, [](float*, float*, int) {}, 1000,
                               10);
    int queued = 0;
    while (scheduler.Post(0x90, At(0)) && queued <= 1 << 20) {
        ++queued;
    }
    EXPECT_EQ(queued, 1 << 14);
    float left[10];
    float right[10];
    scheduler.Render(1, left, right, 10, At(50)); // late: plays them all at its first frame
    EXPECT_EQ(played, queued);
    EXPECT_TRUE(scheduler.Post(0x90, At(51)));
}

// The first frame of samples that is not silence.
std::int64_t Onset(const std::vector<float>& samples) {
    const auto loud = std::find_if(samples.begin(), samples.end(),
                                   [](float sample) { return std::abs(sample) > 1e-6f; });
    return loud - samples.begin();
}

// Through the real synthesizer, a note starts where the scheduler puts it, but for FluidSynth
// starting notes only at the next of its 64-frame blocks.
TEST(MessageScheduler, SynthesizerNotesStartAtTheirSample) {
    const std::vector<std::string> soundFonts = Synthesizer::SoundFontCandidates();
    ASSERT_FALSE(soundFonts.empty()) << "install timgm6mb-soundfont";
    constexpr int rate = Synthesizer::SampleRate;
    constexpr int period = 256;
    constexpr std::uint32_t noteOn = 0x007F4590; // A4, velocity 127
    std::vector<float> left(period * 8);
    std::vector<float> right(period * 8);
    // The note's sample starts with a little silence of its own: the note played at frame 0.
    Synthesizer reference;
    ASSERT_TRUE(reference.LoadSoundFont(soundFonts.front()));
    reference.ShortMsg(noteOn);
    reference.Render(left.data(), right.data(), int(left.size()));
    const std::int64_t lead = Onset(left);

    for (const double sentMs : {1.0, 4.0, 11.0}) {
        Synthesizer synth;
        ASSERT_TRUE(synth.LoadSoundFont(soundFonts.front()));
        MessageScheduler scheduler(
            [&](std::uint32_t msg) { synth.ShortMsg(msg); },
            [&](float* l, float* r, int frames) { synth.Render(l, r, frames); }, rate, period);
        scheduler.Post(noteOn, At(sentMs));
        for (int p = 0; p < 8; ++p) {
            scheduler.Render(1, left.data() + p * period, right.data() + p * period, period,
                             At(1000.0 * p * period / rate));
        }
        const auto expected = std::int64_t(std::floor(sentMs * rate / 1000)) + period;
        EXPECT_GE(Onset(left) - lead, expected) << sentMs << " ms";
        EXPECT_LT(Onset(left) - lead, expected + 64) << sentMs << " ms";
    }
}

} // namespace
} // namespace kadrel
