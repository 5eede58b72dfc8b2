// The audio-file module: decoding through libsndfile into mono samples, read in blocks to bound
// memory.
#include "AudioFileModule.h"

#include <memory>
#include <vector>

#include <sndfile.h>

#include "zrhost/InputError.h"
#include "zrparser/ZrExport.h"

namespace zrhost {

namespace {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

void readMono(const std::string& path, const std::function<void(double sampleRate)>& begin,
              const std::function<void(const double* samples, std::size_t count)>& take)
{
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file)
        throw InputError(path + ": cannot read audio: " + sf_strerror(nullptr));
    if (info.channels < 1 || info.samplerate < 1)
        throw InputError(path + ": cannot read audio: no channels or no sample rate");
    begin(static_cast<double>(info.samplerate));

    constexpr sf_count_t BLOCK_FRAMES = 4096;
    std::vector<float> block(static_cast<std::size_t>(BLOCK_FRAMES * info.channels));
    std::vector<double> mono(static_cast<std::size_t>(BLOCK_FRAMES));
    while (true) {
        const sf_count_t read = sf_readf_float(file.get(), block.data(), BLOCK_FRAMES);
        if (read <= 0)
            break;
        for (sf_count_t s = 0; s < read; ++s) {
            double sum = 0.0;
            for (int c = 0; c < info.channels; ++c)
                sum += block[static_cast<std::size_t>(s * info.channels + c)];
            mono[static_cast<std::size_t>(s)] = sum / info.channels;
        }
        take(mono.data(), static_cast<std::size_t>(read));
    }
}

} // namespace

} // namespace zrhost

extern "C" ZR_API const zrhost::AudioFileModule* zrhostAudioFileModule()
{
    static const zrhost::AudioFileModule entries{&zrhost::readMono};
    return &entries;
}
