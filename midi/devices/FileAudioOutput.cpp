#include "midi/devices/FileAudioOutput.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace kadrel {

namespace {

std::int16_t ToS16(float sample) {
    return static_cast<std::int16_t>(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
}

} // namespace

std::unique_ptr<AudioDriver> FileAudioOutput::Open(const AudioSettings& audio, int sampleRate,
                                                   RenderFunction render) {
    std::FILE* file = std::fopen(audio.FileName.c_str(), "wb");
    if (file == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<AudioDriver>(
        new FileAudioOutput(file, sampleRate, audio.PeriodFrames, std::move(render)));
}

FileAudioOutput::FileAudioOutput(std::FILE* file, int sampleRate, int periodFrames,
                                 RenderFunction render)
    : file_(file), sampleRate_(sampleRate), periodFrames_(periodFrames), render_(std::move(render)),
      thread_([this] { Run(); }) {}

FileAudioOutput::~FileAudioOutput() {
    stopping_ = true;
    thread_.join();
    std::fclose(file_);
}

void FileAudioOutput::Run() {
    UseAudioThreadPriority();
    std::vector<float> left(periodFrames_);
    std::vector<float> right(periodFrames_);
    std::vector<std::int16_t> samples(2 * periodFrames_);
    const auto start = std::chrono::steady_clock::now();
    for (std::int64_t period = 1; !stopping_; ++period) {
        render_(left.data(), right.data(), periodFrames_);
        for (int i = 0; i < periodFrames_; ++i) {
            samples[2 * i] = ToS16(left[i]);
            samples[2 * i + 1] = ToS16(right[i]);
        }
        // A reader that stops reading (a full pipe) holds the thread here, as a stuck sound
        // server would.
        std::fwrite(samples.data(), sizeof samples[0], samples.size(), file_);
        std::fflush(file_);
        std::this_thread::sleep_until(
            start +
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(double(period) * periodFrames_ / sampleRate_)));
    }
}

} // namespace kadrel
