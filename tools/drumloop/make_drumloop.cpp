// make-drumloop: writes a synthetic drum loop (kick on every beat, hi-hats and snare in between)
// as a 16-bit mono WAV file, the same bytes on every run.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <sndfile.h>

namespace {

constexpr int SAMPLE_RATE = 44100;
constexpr double PI = 3.141592653589793;

// A small fixed-seed generator so the noise of hats and snare is the same on every run.
class NoiseSource {
public:
    double next()
    {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state_ >> 11) / static_cast<double>(1ull << 53) * 2.0 - 1.0;
    }

private:
    std::uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

// Adds `voice(t)` for t in [0, length) seconds at `start` seconds into `mix`.
template <class Voice>
void strike(std::vector<double>& mix, double start, double length, Voice voice)
{
    const auto first = static_cast<std::size_t>(std::llround(start * SAMPLE_RATE));
    const auto count = static_cast<std::size_t>(length * SAMPLE_RATE);
    for (std::size_t i = 0; i < count && first + i < mix.size(); ++i)
        mix[first + i] += voice(static_cast<double>(i) / SAMPLE_RATE);
}

// A sine whose pitch falls from 150 Hz to 50 Hz, the body of a bass drum.
void kick(std::vector<double>& mix, double start)
{
    strike(mix, start, 0.35, [](double t) {
        const double phase = 2.0 * PI * (50.0 * t + 100.0 * 0.04 * (1.0 - std::exp(-t / 0.04)));
        return 0.95 * std::exp(-t / 0.12) * std::sin(phase);
    });
}

// Short bright noise: differencing removes the low end.
void hiHat(std::vector<double>& mix, double start, double gain, NoiseSource& noise)
{
    double previous = 0.0;
    strike(mix, start, 0.08, [&](double t) {
        const double n = noise.next();
        const double bright = n - previous;
        previous = n;
        return gain * std::exp(-t / 0.02) * bright;
    });
}

// Noise with a 180 Hz tone, a light snare.
void snare(std::vector<double>& mix, double start, NoiseSource& noise)
{
    strike(mix, start, 0.2, [&](double t) {
        return std::exp(-t / 0.05) * (0.3 * noise.next() + 0.2 * std::sin(2.0 * PI * 180.0 * t));
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4) {
        std::cerr << "usage: make-drumloop OUTPUT.wav [SECONDS=16] [BPM=120]\n";
        return 1;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 16.0;
    const double bpm = argc > 3 ? std::atof(argv[3]) : 120.0;
    if (!(seconds > 0.0) || !(bpm > 0.0)) {
        std::cerr << "make-drumloop: SECONDS and BPM must be positive numbers\n";
        return 1;
    }

    std::vector<double> mix(static_cast<std::size_t>(std::llround(seconds * SAMPLE_RATE)), 0.0);
    NoiseSource noise;
    const double beat = 60.0 / bpm;
    for (int k = 0; k * beat < seconds; ++k) {
        const double at = k * beat;
        kick(mix, at);
        hiHat(mix, at + beat / 4.0, 0.08, noise);
        if (k % 2 == 1)
            snare(mix, at + beat / 2.0, noise);
        else
            hiHat(mix, at + beat / 2.0, 0.2, noise);
        hiHat(mix, at + 3.0 * beat / 4.0, 0.08, noise);
    }

    std::vector<short> pcm(mix.size());
    for (std::size_t i = 0; i < mix.size(); ++i)
        pcm[i] = static_cast<short>(std::lround(std::fmax(-1.0, std::fmin(1.0, mix[i])) * 32767.0));

    SF_INFO info{};
    info.samplerate = SAMPLE_RATE;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
    if (!file) {
        std::cerr << "make-drumloop: " << argv[1] << ": " << sf_strerror(nullptr) << '\n';
        return 1;
    }
    const sf_count_t written = sf_write_short(file, pcm.data(), static_cast<sf_count_t>(pcm.size()));
    sf_close(file);
    if (written != static_cast<sf_count_t>(pcm.size())) {
        std::cerr << "make-drumloop: " << argv[1] << ": short write\n";
        return 1;
    }
    return 0;
}
