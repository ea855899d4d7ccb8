#include "render/WavRender.h"

#include "midi/FileBytes.h"
#include "midi/devices/Synthesizer.h"
#include "song/Instruments.h"
#include "song/PlaybackSchedule.h"
#include "util/Error.h"
#include "util/FileIdentity.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace kadrel {

namespace {

static_assert(RenderSampleRate == Synthesizer::SampleRate);
static_assert(RenderFramesPerStep * 1000 == PlaybackStepMs * RenderSampleRate,
              "a position must last a whole number of frames");

constexpr int Channels = 2;
constexpr int BytesPerFrame = Channels * 2;
constexpr std::size_t HeaderBytes = 44;
// The RIFF size field counts everything after itself: 36 bytes of header, then the samples.
constexpr std::int64_t MaxFrames = (std::int64_t{0xFFFFFFFF} - 36) / BytesPerFrame;

// The sound is made in chunks of 0.3 s: the synthesizers' threads meet once per chunk, and the
// progress is told once per chunk, a few hundred times a second of work at the usual speed,
// which a progress dialog follows without slowing the export.
constexpr std::int64_t ChunkFrames = 10 * RenderFramesPerStep;
// Below half a step of 16 bits a sample is written as 0: the file holds silence.
constexpr float SilenceLevel = 0.5f / 32768.0f;

// The canonical 44-byte header of a PCM WAV file holding dataBytes of samples.
void WriteHeader(ByteStream& out, std::uint32_t dataBytes) {
    std::vector<std::uint8_t> header = {'R', 'I', 'F', 'F'};
    AppendLittleEndian(header, 36 + dataBytes, 4);
    header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    AppendLittleEndian(header, 16, 4); // size of the fmt chunk
    AppendLittleEndian(header, 1, 2);  // PCM
    AppendLittleEndian(header, Channels, 2);
    AppendLittleEndian(header, RenderSampleRate, 4);
    AppendLittleEndian(header, RenderSampleRate * BytesPerFrame, 4);
    AppendLittleEndian(header, BytesPerFrame, 2);
    AppendLittleEndian(header, 16, 2); // bits per sample
    header.insert(header.end(), {'d', 'a', 't', 'a'});
    AppendLittleEndian(header, dataBytes, 4);
    out.Write(header.data(), header.size());
}

std::int16_t ToSample(float x) {
    const float scaled = x * 32768.0f;
    if (scaled >= 32767.0f)
        return 32767;
    if (scaled <= -32768.0f)
        return -32768;
    return static_cast<std::int16_t>(std::lrintf(scaled));
}

void LoadGeneralMidiSoundFont(Synthesizer& synth) {
    for (const std::string& path : Synthesizer::SoundFontCandidates())
        if (synth.LoadSoundFont(path))
            return;
    throw Error(std::string("Aucune banque de sons General MIDI n'a pu être chargée depuis ") +
                Synthesizer::SoundFontFolder);
}

// A short message, or a sysex, due at a frame of the sound.
struct TimedMessage {
    std::int64_t Frame;
    std::uint32_t Message;
    const std::uint8_t* SysEx = nullptr; // its bytes between F0 and F7
    std::uint32_t SysExLength = 0;
};

// One synthesizer playing some of the channels. The synthesizers are independent and their
// effects linear, so the sum of their sounds is the sound of one synthesizer playing every
// channel, but for the first block of 64 frames of a note, whose level depends on which of
// FluidSynth's voices it takes and so on the notes of the other channels, and for the voices
// one synthesizer would steal when more than 256 sound at once.
class ChannelGroup {
public:
    ChannelGroup() : synth_(std::make_unique<Synthesizer>()) { LoadGeneralMidiSoundFont(*synth_); }

    void Add(std::int64_t frame, std::uint32_t message) { messages_.push_back({frame, message}); }
    void AddSysEx(std::int64_t frame, const std::uint8_t* data, std::uint32_t length) {
        messages_.push_back({frame, 0, data, length});
    }

    // Sends the messages due by now.
    void SendDue() {
        while (next_ < messages_.size() && messages_[next_].Frame <= frame_) {
            const TimedMessage& m = messages_[next_++];
            if (m.SysEx == nullptr)
                synth_->ShortMsg(m.Message);
            else
                fluid_synth_sysex(synth_->Synth(), reinterpret_cast<const char*>(m.SysEx),
                                  static_cast<int>(m.SysExLength), nullptr, nullptr, nullptr, 0);
        }
    }

    // Renders on up to frame end into left and right, sending each message once the sound has
    // reached its frame.
    void RenderTo(std::int64_t end, float* left, float* right) {
        for (;;) {
            SendDue();
            if (frame_ >= end)
                break;
            std::int64_t target = end;
            if (next_ < messages_.size())
                target = std::min(target, messages_[next_].Frame);
            const auto count = static_cast<int>(target - frame_);
            synth_->Render(left, right, count);
            left += count;
            right += count;
            frame_ = target;
        }
    }

private:
    std::unique_ptr<Synthesizer> synth_;
    std::vector<TimedMessage> messages_;
    std::size_t next_ = 0;
    std::int64_t frame_ = 0;
};

struct Chunk {
    std::vector<float> Left;
    std::vector<float> Right;
};

// Renders a group's chunks on a thread of its own, up to a few chunks ahead of the mix, so that
// the groups do not wait on one another at every chunk: a thread that the system holds back a
// moment catches up on its own.
class GroupThread {
public:
    GroupThread(ChannelGroup& group, std::int64_t limit)
        : group_(group), limit_(limit), thread_([this] { Run(); }) {}
    GroupThread(const GroupThread&) = delete;
    GroupThread& operator=(const GroupThread&) = delete;
    ~GroupThread() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    // The next chunk, once it is rendered.
    Chunk Take() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty() || failure_; });
        if (failure_)
            std::rethrow_exception(failure_);
        Chunk chunk = std::move(ready_.front());
        ready_.pop_front();
        changed_.notify_all();
        return chunk;
    }

private:
    static constexpr std::size_t MaxAhead = 8;

    void Run() {
        try {
            for (std::int64_t frame = 0; frame < limit_;) {
                const std::int64_t end = std::min(frame + ChunkFrames, limit_);
                Chunk chunk{std::vector<float>(static_cast<std::size_t>(end - frame)),
                            std::vector<float>(static_cast<std::size_t>(end - frame))};
                group_.RenderTo(end, chunk.Left.data(), chunk.Right.data());
                frame = end;
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return ready_.size() < MaxAhead || stop_; });
                if (stop_)
                    return;
                ready_.push_back(std::move(chunk));
                changed_.notify_all();
            }
        } catch (...) {
            const std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
            changed_.notify_all();
        }
    }

    ChannelGroup& group_;
    const std::int64_t limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> ready_;
    std::exception_ptr failure_;
    bool stop_ = false;
    std::thread thread_; // last: it starts once everything it uses is ready
};

// Shares the channels that have notes among at most `threads` groups, the busiest channels
// first, each to the group that has the fewest events yet. Returns each channel's group.
std::array<int, 16> ShareChannels(const std::vector<PlaybackSchedule::Event>& events, int threads,
                                  int& groups) {
    std::array<std::int64_t, 16> load{};
    for (const auto& event : events)
        if (event.Note != nullptr && event.Note->Channel < 16)
            ++load[event.Note->Channel];
    std::array<int, 16> order{};
    for (int c = 0; c < 16; ++c)
        order[c] = c;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return load[a] > load[b]; });
    const auto used = std::count_if(load.begin(), load.end(), [](std::int64_t n) { return n > 0; });
    groups = static_cast<int>(std::clamp<std::int64_t>(used, 1, threads));

    std::array<int, 16> groupOf{};
    std::vector<std::int64_t> groupLoad(groups);
    for (const int channel : order) {
        const auto least = std::min_element(groupLoad.begin(), groupLoad.end());
        groupOf[channel] = static_cast<int>(least - groupLoad.begin());
        *least += load[channel];
    }
    return groupOf;
}

int ThreadsToUse(int threads) {
    if (threads > 0)
        return std::min(threads, RenderMaxThreads);
    const unsigned processors = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(processors), 1, RenderMaxThreads);
}

// Appends count frames of the mix to the file's bytes as 16-bit little-endian pairs.
void AppendFrames(ByteStream& out, const std::vector<float>& left, const std::vector<float>& right,
                  std::int64_t count, std::vector<std::uint8_t>& bytes) {
    bytes.resize(static_cast<std::size_t>(count) * BytesPerFrame);
    std::uint8_t* p = bytes.data();
    for (std::int64_t i = 0; i < count; ++i) {
        for (const float x : {left[i], right[i]}) {
            const auto sample = static_cast<std::uint16_t>(ToSample(x));
            *p++ = static_cast<std::uint8_t>(sample);
            *p++ = static_cast<std::uint8_t>(sample >> 8);
        }
    }
    out.Write(bytes.data(), bytes.size());
}

} // namespace

std::optional<ByteStream> RenderWavBytes(const Song& song, const RenderProgress& progress,
                                         int threads) {
    // Exactly what Jouer sends from the cursor at 0.
    const PlaybackSchedule schedule(song, 0);
    const std::vector<PlaybackSchedule::Event>& events = schedule.Events();
    const auto frameOf = [](std::int64_t us) { return (us * RenderSampleRate + 500000) / 1000000; };
    const std::int64_t lastEventUs = events.empty() ? 0 : events.back().TimeUs;
    const std::int64_t lastEventFrame = events.empty() ? 0 : frameOf(lastEventUs);
    const std::int64_t limit = lastEventFrame + RenderTailSteps * RenderFramesPerStep;
    const std::int64_t tailUs = RenderTailSteps * PlaybackStepMs * 1000;
    const std::int64_t lastPosition =
        events.empty() ? RenderTailSteps - 1 : schedule.PositionAt(lastEventUs + tailUs);
    if (limit > MaxFrames)
        throw Error("Le morceau est trop long pour un fichier WAV.");

    // Room for the longest the sound can last, asked for at once: a song too long for the
    // memory fails now rather than after minutes of work.
    ByteStream out;
    out.Reserve(HeaderBytes + static_cast<std::size_t>(limit) * BytesPerFrame);
    WriteHeader(out, 0);

    int groupCount = 1;
    const std::array<int, 16> groupOf = ShareChannels(events, ThreadsToUse(threads), groupCount);
    std::vector<ChannelGroup> groups(static_cast<std::size_t>(groupCount));

    // A song of Kadrel's own gives each row's program at the start, in row order; an imported
    // one has its own program changes. A row or a note on channel 16 or more cannot sound
    // (playback refuses to send it) and is passed over.
    for (const SongTrack& track : song.Tracks) {
        if (song.KeepsFile || track.Channel < 0 || track.Channel > 15 ||
            track.Program >= InstrumentCount)
            continue;
        groups[groupOf[track.Channel]].Add(0, 0xC0u | static_cast<std::uint32_t>(track.Channel) |
                                                  static_cast<std::uint32_t>(track.Program) << 8);
    }
    for (const auto& event : events) {
        if (event.Note != nullptr && event.Note->Channel > 15)
            continue;
        const std::int64_t frame = frameOf(event.TimeUs);
        if (!event.IsSysEx()) {
            groups[groupOf[event.Status & 0x0F]].Add(frame, event.ShortMessage());
            continue;
        }
        // A system exclusive message, whole (F0 ... F7), reaches every synthesizer; the
        // continuations and escapes of F7 events are not messages of their own.
        if (event.Status != 0xF0 || event.SysExLength == 0)
            continue;
        const bool ended = event.SysEx[event.SysExLength - 1] == 0xF7;
        for (ChannelGroup& group : groups)
            group.AddSysEx(frame, event.SysEx, event.SysExLength - (ended ? 1 : 0));
    }

    // The programs are chosen here, one synthesizer after the other: choosing one loads its
    // samples through FluidSynth's sample cache, which all synthesizers share. From then on
    // each synthesizer keeps to itself.
    for (ChannelGroup& group : groups)
        group.SendDue();

    // One group renders on this thread; several render each on a thread of their own while this
    // one mixes them.
    std::vector<std::unique_ptr<GroupThread>> helpers;
    if (groups.size() > 1)
        for (ChannelGroup& group : groups)
            helpers.push_back(std::make_unique<GroupThread>(group, limit));

    std::vector<float> left(ChunkFrames);
    std::vector<float> right(ChunkFrames);
    std::vector<std::uint8_t> bytes;
    // Once the last message is sent, the sound goes on until nothing has been heard for
    // RenderSilenceFrames, the silence included, or until the limit.
    std::int64_t silentSince = lastEventFrame;
    std::int64_t frame = 0;
    for (;;) {
        const std::int64_t chunkEnd = std::min(frame + ChunkFrames, limit);
        const std::int64_t count = chunkEnd - frame;
        if (helpers.empty()) {
            groups[0].RenderTo(chunkEnd, left.data(), right.data());
        } else {
            std::fill_n(left.begin(), count, 0.0f);
            std::fill_n(right.begin(), count, 0.0f);
            for (const auto& helper : helpers) {
                const Chunk chunk = helper->Take();
                for (std::int64_t i = 0; i < count; ++i) {
                    left[i] += chunk.Left[i];
                    right[i] += chunk.Right[i];
                }
            }
        }
        for (std::int64_t i = std::max<std::int64_t>(0, lastEventFrame - frame); i < count; ++i)
            if (std::fabs(left[i]) >= SilenceLevel || std::fabs(right[i]) >= SilenceLevel)
                silentSince = frame + i + 1;

        const std::int64_t end = std::min(silentSince + RenderSilenceFrames, limit);
        AppendFrames(out, left, right, std::min(chunkEnd, end) - frame, bytes);
        frame = std::min(chunkEnd, end);
        if (frame >= end)
            break;
        const std::int64_t position = std::clamp<std::int64_t>(
            schedule.PositionAt(frame * 1000000 / RenderSampleRate), 0, lastPosition);
        if (progress && !progress(position, lastPosition))
            return std::nullopt;
    }
    // Told once more at the very end, so that a dialog reaches its end too.
    if (progress && !progress(lastPosition, lastPosition))
        return std::nullopt;

    out.Seek(0);
    WriteHeader(out, static_cast<std::uint32_t>(frame * BytesPerFrame));
    return out;
}

void RefuseOutputThatIsTheSong(const std::string& songFile, const std::string& wavFile) {
    if (!songFile.empty() && NameTheSameFile(songFile, wavFile))
        throw Error("Le fichier ", wavFile,
                    " est le fichier du morceau : il ne peut pas recevoir son export en WAV");
}

bool RenderWav(const Song& song, const std::string& fileName, const RenderProgress& progress,
               int threads) {
    const std::optional<ByteStream> bytes = RenderWavBytes(song, progress, threads);
    if (!bytes)
        return false;
    bytes->SaveToFile(fileName);
    return true;
}

} // namespace kadrel
