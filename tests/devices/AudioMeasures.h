#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace kadrel::test {

// Root mean square of samples[begin, end).
inline double Rms(const std::vector<float>& samples, std::size_t begin, std::size_t end) {
    if (end > samples.size()) {
        end = samples.size();
    }
    if (begin >= end) {
        return 0.0;
    }
    double sum = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
        sum += double(samples[i]) * samples[i];
    }
    return std::sqrt(sum / double(end - begin));
}

// The fundamental frequency of a steady tone between minHz and maxHz, from the lag at which
// the normalised autocorrelation of samples[begin, end) peaks.
inline double PitchHz(const std::vector<float>& samples, std::size_t begin, std::size_t end,
                      int sampleRate, double minHz = 80.0, double maxHz = 1000.0) {
    const std::size_t minLag = std::size_t(sampleRate / maxHz);
    const std::size_t maxLag = std::size_t(sampleRate / minHz);
    double bestScore = -1.0;
    std::size_t bestLag = 0;
    for (std::size_t lag = minLag; lag <= maxLag && begin + lag < end; ++lag) {
        double product = 0.0;
        double energy = 0.0;
        for (std::size_t i = begin; i + lag < end; ++i) {
            product += double(samples[i]) * samples[i + lag];
            energy += double(samples[i]) * samples[i] + double(samples[i + lag]) * samples[i + lag];
        }
        const double score = energy > 0.0 ? 2.0 * product / energy : 0.0;
        // Prefer the shortest period: a multiple of it correlates about as well.
        if (score > bestScore + 1e-3) {
            bestScore = score;
            bestLag = lag;
        }
    }
    return bestLag != 0 ? double(sampleRate) / double(bestLag) : 0.0;
}

// Spectral centroid in Hz of samples[begin, end), from a plain DFT over 0..maxHz in steps of
// stepHz: where the weight of the spectrum lies, low for a mellow tone, high for a bright one.
inline double SpectralCentroidHz(const std::vector<float>& samples, std::size_t begin,
                                 std::size_t end, int sampleRate, double maxHz = 8000.0,
                                 double stepHz = 20.0) {
    const double pi = std::acos(-1.0);
    double weighted = 0.0;
    double total = 0.0;
    for (double hz = stepHz; hz <= maxHz; hz += stepHz) {
        double re = 0.0;
        double im = 0.0;
        const double w = 2.0 * pi * hz / sampleRate;
        for (std::size_t i = begin; i < end && i < samples.size(); ++i) {
            re += samples[i] * std::cos(w * double(i - begin));
            im -= samples[i] * std::sin(w * double(i - begin));
        }
        const double magnitude = std::sqrt(re * re + im * im);
        weighted += hz * magnitude;
        total += magnitude;
    }
    return total > 0.0 ? weighted / total : 0.0;
}

} // namespace kadrel::test
