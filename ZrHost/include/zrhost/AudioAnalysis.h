// What a host hears in audio, frame by frame: the loudness (level), three bands (bass, mid,
// high) with an automatic gain, and the tempo and beats a beat tracker finds. The same analysis
// serves an audio file and a live input, sample by sample.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zrhost/Tempo.h"
#include "zrparser/ZrExport.h"

namespace zrhost {

// One frame of audio as formulas read it.
struct AudioFrame {
    double level = 0.0; // RMS of the frame's samples × 100 × √2, at most 100: a full-scale sine reads 100
    double bass = 0.0;  // below 200 Hz, 0 to 100 after the automatic gain
    double mid = 0.0;   // 200 Hz to 4 kHz
    double high = 0.0;  // above 4 kHz
    TempoValues tempo;  // when a beat tracker listens
};

// Finds beats in mono audio, hop after hop. Implementations live outside the libraries (the
// beat trackers worth having are under licences the libraries do not take); a host hands one
// in through a factory.
class ZR_API BeatTracker {
public:
    virtual ~BeatTracker() = default;
    // How many samples process() takes at a time.
    virtual std::size_t hopSize() const = 0;
    // Takes the next hopSize() samples. When it reports a beat, returns its instant in seconds
    // from the first sample it was given. Allocates nothing.
    virtual std::optional<double> process(const float* hop) = 0;
    // The tracker's own tempo estimate, for the time before enough beats are known; 0 if none.
    virtual double bpm() const = 0;
};

// Makes a tracker for audio at `sampleRate`.
using BeatTrackerFactory = std::unique_ptr<BeatTracker> (*)(double sampleRate);

// A second-order filter section (a biquad), in direct form I.
class ZR_API Biquad {
public:
    static Biquad lowPass(double sampleRate, double frequency);
    static Biquad highPass(double sampleRate, double frequency);
    double filter(double x);

private:
    double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// A band's loudness with an automatic gain: 100 is the loudest the band has been lately (its
// peak halves in ten seconds without louder sound), and silence stays 0.
class ZR_API AutomaticGain {
public:
    explicit AutomaticGain(double sampleRate) : sampleRate_(sampleRate) {}
    // The band's RMS over `samples` samples, as 0 to 100.
    double scale(double rms, std::size_t samples);

private:
    double sampleRate_;
    double peak_ = 0.0;
};

class ZR_API AudioAnalyser {
public:
    // `tracker` may be null: then the frames carry no tempo.
    AudioAnalyser(double sampleRate, BeatTrackerFactory tracker);
    ~AudioAnalyser();
    AudioAnalyser(const AudioAnalyser&) = delete;
    AudioAnalyser& operator=(const AudioAnalyser&) = delete;

    bool tracksTempo() const { return tracker_ != nullptr; }

    // The next mono sample. Allocates nothing.
    void add(double sample);
    // The frame of the samples added since the last call. Allocates nothing.
    AudioFrame endFrame();

private:
    // Fourth-order edges: two sections a side; a band with one edge passes the others through.
    struct Band {
        Band(std::array<Biquad, 4> sections, double sampleRate) : sections(sections), gain(sampleRate) {}
        std::array<Biquad, 4> sections;
        AutomaticGain gain;
        double sumOfSquares = 0.0;
    };

    double sampleRate_;
    double sumOfSquares_ = 0.0;
    std::size_t frameSamples_ = 0;
    std::uint64_t samples_ = 0;
    std::vector<Band> bands_;
    std::unique_ptr<BeatTracker> tracker_;
    std::vector<float> hop_;
    std::size_t hopFill_ = 0;
    bool beatInFrame_ = false;
    BeatClock clock_;
};

// Reads an audio file (any format libsndfile reads, channels mixed down by averaging) and
// analyses it in frames of sampleRate / fps samples: frame k holds samples [floor(k × n),
// floor((k + 1) × n)); the last frame may be partial; a frame shorter than one sample reads 0.
// Throws InputError naming the file when it cannot be read.
ZR_API std::vector<AudioFrame> readAudioFrames(const std::string& path, double fps, BeatTrackerFactory tracker);

} // namespace zrhost
