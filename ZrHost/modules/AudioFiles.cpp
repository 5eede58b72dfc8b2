// The audio-file module: decoding through libsndfile and RMS levels per frame, read in blocks to
// bound memory.
#include "AudioFileModule.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include <sndfile.h>

#include "zrhost/InputError.h"
#include "zrparser/ZrExport.h"

namespace zrhost {

namespace {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

// Accumulates the squares of one frame's mono samples.
class ZR_API FrameAccumulator {
public:
    void add(double sample)
    {
        sumOfSquares_ += sample * sample;
        ++count_;
    }

    // The level of the samples added since the last call, which starts a new frame.
    double takeLevel()
    {
        const double level = count_ == 0 ? 0.0 : std::sqrt(sumOfSquares_ / static_cast<double>(count_)) * 100.0 * std::sqrt(2.0);
        sumOfSquares_ = 0.0;
        count_ = 0;
        return std::min(level, 100.0);
    }

private:
    double sumOfSquares_ = 0.0;
    std::uint64_t count_ = 0;
};

std::vector<double> readLevels(const std::string& path, double fps)
{
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file)
        throw InputError(path + ": cannot read audio: " + sf_strerror(nullptr));
    if (info.channels < 1 || info.samplerate < 1)
        throw InputError(path + ": cannot read audio: no channels or no sample rate");

    const double samplesPerFrame = static_cast<double>(info.samplerate) / fps;
    // Frame k holds samples [floor(k × samplesPerFrame), floor((k + 1) × samplesPerFrame)).
    auto frameEnd = [samplesPerFrame](std::uint64_t frame) {
        return static_cast<std::uint64_t>(std::floor(static_cast<double>(frame + 1) * samplesPerFrame));
    };

    std::vector<double> levels;
    FrameAccumulator frame;
    std::uint64_t sampleIndex = 0;
    std::uint64_t currentEnd = frameEnd(0);
    constexpr sf_count_t BLOCK_FRAMES = 4096;
    std::vector<float> block(static_cast<std::size_t>(BLOCK_FRAMES * info.channels));
    while (true) {
        const sf_count_t read = sf_readf_float(file.get(), block.data(), BLOCK_FRAMES);
        if (read <= 0)
            break;
        for (sf_count_t s = 0; s < read; ++s) {
            double mono = 0.0;
            for (int c = 0; c < info.channels; ++c)
                mono += block[static_cast<std::size_t>(s * info.channels + c)];
            mono /= info.channels;
            // A frame shorter than one sample (fps above the sample rate) gets level 0.
            while (sampleIndex >= currentEnd) {
                levels.push_back(frame.takeLevel());
                currentEnd = frameEnd(levels.size());
            }
            frame.add(mono);
            ++sampleIndex;
        }
    }
    if (sampleIndex > 0 && (levels.empty() || sampleIndex > frameEnd(levels.size() - 1)))
        levels.push_back(frame.takeLevel());
    return levels;
}

} // namespace

} // namespace zrhost

extern "C" ZR_API const zrhost::AudioFileModule* zrhostAudioFileModule()
{
    static const zrhost::AudioFileModule entries{&zrhost::readLevels};
    return &entries;
}
