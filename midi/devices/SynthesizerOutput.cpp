#include "midi/devices/SynthesizerOutput.h"

#include "midi/MidiOutService.h"
#include "midi/devices/QuietLibraries.h"
#include "midi/devices/ShortMessageBytes.h"

#include <fluidsynth.h>

#include <algorithm>
#include <utility>

namespace kadrel {

std::uint32_t SynthesizerOutput::Open(std::unique_ptr<OutputDevice>& device,
                                      const AudioSettings& audio) {
    // Cheap checks first: without a soundfont there is nothing to hear, whatever the output.
    const std::vector<std::string> soundFonts = Synthesizer::SoundFontCandidates();
    if (soundFonts.empty()) {
        return MidiResult::NoDriver;
    }

    std::unique_ptr<SynthesizerOutput> output(
        new SynthesizerOutput(std::make_unique<Synthesizer>(), audio));

    // The output is found before the soundfont is loaded, so a machine without sound gives up
    // without reading the soundfont at all. The output plays silence until the soundfont is
    // in. The output that works is the one taken again after an idle time.
    for (const std::string& name : audio.Drivers) {
        output->driverName_ = name;
        output->driver_ = output->StartDriver();
        if (output->driver_ != nullptr) {
            break;
        }
    }
    if (output->driver_ == nullptr) {
        return MidiResult::NoDriver;
    }

    for (const std::string& path : soundFonts) {
        if (output->synth_->LoadSoundFont(path)) {
            output->lastSend_ = std::chrono::steady_clock::now();
            output->watch_ = std::thread([raw = output.get()] { raw->WatchIdle(); });
            device = std::move(output);
            return MidiResult::NoError;
        }
    }
    return MidiResult::NoDriver;
}

SynthesizerOutput::SynthesizerOutput(std::unique_ptr<Synthesizer> synth, const AudioSettings& audio)
    : synth_(std::move(synth)), audio_(audio),
      scheduler_([synth = synth_.get()](std::uint32_t msg) { synth->ShortMsg(msg); },
                 [synth = synth_.get()](float* left, float* right, int frames) {
                     synth->Render(left, right, frames);
                 },
                 Synthesizer::SampleRate, audio.PeriodFrames) {}

SynthesizerOutput::~SynthesizerOutput() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (watch_.joinable()) {
        watch_.join();
    }
    driver_.reset();
}

std::unique_ptr<AudioDriver> SynthesizerOutput::StartDriver() {
    const std::uint64_t stream = ++streams_;
    const QuietLibraries quiet;
    return OpenAudioDriver(driverName_, audio_, Synthesizer::SampleRate,
                           [this, stream](float* left, float* right, int frames) {
                               scheduler_.Render(stream, left, right, frames,
                                                 std::chrono::steady_clock::now());
                           });
}

std::uint32_t SynthesizerOutput::Send(std::uint32_t msg) {
    const auto sent = std::chrono::steady_clock::now();
    if (!UnpackShortMessage(msg)) {
        return MidiResult::InvalidParam;
    }
    std::unique_ptr<AudioDriver> started; // goes, if unused, after the lock is let go
    std::unique_lock lock(mutex_);
    if (driver_ == nullptr) {
        // Taking the output again takes a while, and the output being given back may still
        // be stopping: neither holds the lock, so neither waits for the other.
        lock.unlock();
        started = StartDriver();
        lock.lock();
        if (driver_ == nullptr) {
            if (started == nullptr) {
                return MidiResult::NoDriver;
            }
            driver_ = std::move(started);
            wake_.notify_all();
        }
    }
    if (!scheduler_.Post(msg, sent)) {
        return MidiResult::NoMemory;
    }
    lastSend_ = sent;
    return MidiResult::NoError;
}

std::uint32_t SynthesizerOutput::SendSysEx(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || data[0] != 0xF0 || data[size - 1] != 0xF7) {
        return MidiResult::InvalidParam;
    }
    // The synthesizer takes the data between F0 and F7; what it does not know it passes over.
    const int length = static_cast<int>(std::min<std::size_t>(size - 2, 1 << 20));
    fluid_synth_sysex(synth_->Synth(), reinterpret_cast<const char*>(data + 1), length, nullptr,
                      nullptr, nullptr, 0);
    return MidiResult::NoError;
}

bool SynthesizerOutput::AudioRunning() const {
    const std::lock_guard lock(mutex_);
    return driver_ != nullptr;
}

void SynthesizerOutput::WatchIdle() {
    // A note may ring on well after the last message (a held note, a long release): the output
    // is kept while any voice sounds, and looked at again a little later.
    const auto recheck =
        std::min<std::chrono::milliseconds>(audio_.IdleRelease, std::chrono::seconds(1));
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (driver_ == nullptr) {
            wake_.wait(lock, [this] { return stopping_ || driver_ != nullptr; });
            continue;
        }
        const auto due = lastSend_ + audio_.IdleRelease;
        if (std::chrono::steady_clock::now() < due) {
            wake_.wait_until(lock, due);
            continue;
        }
        if (fluid_synth_get_active_voice_count(synth_->Synth()) > 0) {
            wake_.wait_for(lock, recheck);
            continue;
        }
        // Stopping the output waits for its thread, which may be slow to end (a sound server
        // that does not answer): that happens outside the lock, and a message sent meanwhile
        // takes a new output at once.
        std::unique_ptr<AudioDriver> idle = std::move(driver_);
        lock.unlock();
        idle.reset();
        lock.lock();
    }
}

} // namespace kadrel
