// Level, bands and tempo of mono audio; files decoded by the audio-file module.
#include "zrhost/AudioAnalysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "AudioFileModule.h"
#include "zrhost/LoadedModule.h"

namespace zrhost {

namespace {

// Where the bands part.
constexpr double BASS_TOP = 200.0;
constexpr double HIGH_BOTTOM = 4000.0;
// The automatic gain's peak halves in this many seconds.
constexpr double PEAK_HALF_LIFE = 10.0;
// Below this RMS (-80 dB of full scale) a band is silent.
constexpr double SILENCE = 1e-4;

double levelOf(double sumOfSquares, std::size_t count)
{
    const double level = count == 0 ? 0.0 : std::sqrt(sumOfSquares / static_cast<double>(count)) * 100.0 * std::sqrt(2.0);
    return std::min(level, 100.0);
}

} // namespace

// Second-order Butterworth sections after the well-known audio-filter formulas (Q = 1/√2).
Biquad Biquad::lowPass(double sampleRate, double frequency)
{
    const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
    const double alpha = std::sin(w) / std::sqrt(2.0);
    const double a0 = 1.0 + alpha;
    Biquad f;
    f.b0_ = (1.0 - std::cos(w)) / 2.0 / a0;
    f.b1_ = (1.0 - std::cos(w)) / a0;
    f.b2_ = f.b0_;
    f.a1_ = -2.0 * std::cos(w) / a0;
    f.a2_ = (1.0 - alpha) / a0;
    return f;
}

Biquad Biquad::highPass(double sampleRate, double frequency)
{
    const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
    const double alpha = std::sin(w) / std::sqrt(2.0);
    const double a0 = 1.0 + alpha;
    Biquad f;
    f.b0_ = (1.0 + std::cos(w)) / 2.0 / a0;
    f.b1_ = -(1.0 + std::cos(w)) / a0;
    f.b2_ = f.b0_;
    f.a1_ = -2.0 * std::cos(w) / a0;
    f.a2_ = (1.0 - alpha) / a0;
    return f;
}

double Biquad::filter(double x)
{
    const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
}

double AutomaticGain::scale(double rms, std::size_t samples)
{
    peak_ = std::max(rms, peak_ * std::exp2(-static_cast<double>(samples) / (PEAK_HALF_LIFE * sampleRate_)));
    if (peak_ < SILENCE)
        return 0.0;
    return std::min(100.0, 100.0 * rms / peak_);
}

AudioAnalyser::AudioAnalyser(double sampleRate, BeatTrackerFactory tracker) : sampleRate_(sampleRate)
{
    // A band above half the sample rate is left empty rather than made of a filter that cannot be.
    const double nyquist = sampleRate / 2.0;
    const double bassTop = std::min(BASS_TOP, nyquist * 0.9);
    const double highBottom = std::min(HIGH_BOTTOM, nyquist * 0.9);
    const Biquad bassLow = Biquad::lowPass(sampleRate, bassTop);
    const Biquad midHigh = Biquad::highPass(sampleRate, bassTop);
    const Biquad midLow = Biquad::lowPass(sampleRate, highBottom);
    const Biquad highHigh = Biquad::highPass(sampleRate, highBottom);
    bands_.emplace_back(std::array{bassLow, bassLow, Biquad(), Biquad()}, sampleRate);
    bands_.emplace_back(std::array{midHigh, midHigh, midLow, midLow}, sampleRate);
    bands_.emplace_back(std::array{highHigh, highHigh, Biquad(), Biquad()}, sampleRate);
    if (tracker) {
        tracker_ = tracker(sampleRate);
        hop_.assign(tracker_->hopSize(), 0.0F);
    }
}

AudioAnalyser::~AudioAnalyser() = default;

void AudioAnalyser::add(double sample)
{
    sumOfSquares_ += sample * sample;
    ++frameSamples_;
    ++samples_;
    for (Band& band : bands_) {
        double filtered = sample;
        for (Biquad& section : band.sections)
            filtered = section.filter(filtered);
        band.sumOfSquares += filtered * filtered;
    }
    if (!tracker_)
        return;
    hop_[hopFill_++] = static_cast<float>(sample);
    if (hopFill_ < hop_.size())
        return;
    hopFill_ = 0;
    if (const auto beat = tracker_->process(hop_.data())) {
        clock_.beatAt(*beat);
        beatInFrame_ = true;
    }
}

AudioFrame AudioAnalyser::endFrame()
{
    AudioFrame frame;
    frame.level = levelOf(sumOfSquares_, frameSamples_);
    double* bandValues[] = {&frame.bass, &frame.mid, &frame.high};
    for (std::size_t b = 0; b < bands_.size(); ++b) {
        Band& band = bands_[b];
        const double rms = frameSamples_ == 0 ? 0.0 : std::sqrt(band.sumOfSquares / static_cast<double>(frameSamples_));
        *bandValues[b] = band.gain.scale(rms, frameSamples_);
        band.sumOfSquares = 0.0;
    }
    if (tracker_) {
        const double now = static_cast<double>(samples_) / sampleRate_;
        frame.tempo.bpm = clock_.bpm() > 0.0 ? clock_.bpm() : tracker_->bpm();
        frame.tempo.beat = beatInFrame_ ? 1.0 : 0.0;
        frame.tempo.beatphase = clock_.phaseAt(now);
    }
    sumOfSquares_ = 0.0;
    frameSamples_ = 0;
    beatInFrame_ = false;
    return frame;
}

std::vector<AudioFrame> readAudioFrames(const std::string& path, double fps, BeatTrackerFactory tracker)
{
    static const LoadedModule module(hostLibraryDirectory() / ZRHOST_AUDIO_MODULE_FROM_LIBRARY, "the audio-file module");
    static const AudioFileModule& audio = module.entries<AudioFileModule>(AUDIO_FILE_MODULE_ENTRY);

    std::vector<AudioFrame> frames;
    std::unique_ptr<AudioAnalyser> analyser;
    double samplesPerFrame = 0.0;
    std::uint64_t sampleIndex = 0;
    std::uint64_t currentEnd = 0;
    // Frame k ends before sample floor((k + 1) × samplesPerFrame).
    auto frameEnd = [&samplesPerFrame](std::uint64_t frame) {
        return static_cast<std::uint64_t>(std::floor(static_cast<double>(frame + 1) * samplesPerFrame));
    };
    audio.readMono(
        path,
        [&](double sampleRate) {
            samplesPerFrame = sampleRate / fps;
            currentEnd = frameEnd(0);
            analyser = std::make_unique<AudioAnalyser>(sampleRate, tracker);
        },
        [&](const double* samples, std::size_t count) {
            for (std::size_t s = 0; s < count; ++s) {
                // A frame shorter than one sample (fps above the sample rate) reads 0.
                while (sampleIndex >= currentEnd) {
                    frames.push_back(analyser->endFrame());
                    currentEnd = frameEnd(frames.size());
                }
                analyser->add(samples[s]);
                ++sampleIndex;
            }
        });
    if (sampleIndex > 0 && (frames.empty() || sampleIndex > frameEnd(frames.size() - 1)))
        frames.push_back(analyser->endFrame());
    return frames;
}

} // namespace zrhost
