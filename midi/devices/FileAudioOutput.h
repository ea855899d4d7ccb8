#pragma once

#include "midi/devices/AudioDriver.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace kadrel {

// An audio output into a file, in real time as a sound card would take it: a period of raw
// interleaved stereo 16-bit samples at every period's time. Tests listen to the synthesizer
// through it.
class FileAudioOutput final : public AudioDriver {
public:
    // Writes to audio.FileName, replacing what it held; null when it cannot be written.
    static std::unique_ptr<AudioDriver> Open(const AudioSettings& audio, int sampleRate,
                                             RenderFunction render);
    ~FileAudioOutput() override;

private:
    FileAudioOutput(std::FILE* file, int sampleRate, int periodFrames, RenderFunction render);
    void Run();

    std::FILE* const file_;
    const int sampleRate_;
    const int periodFrames_;
    const RenderFunction render_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace kadrel
