// The beat-tracking module: aubio's tempo tracker behind the host libraries' BeatTracker.
#include <aubio/aubio.h>

#include <cmath>
#include <memory>

#include "tempo/BeatTrackingModule.h"
#include "zrparser/ZrExport.h"

namespace zrsignal {

namespace {

// aubio's defaults for music at 44.1 kHz: a window of 1024 samples moved 512 at a time. At other
// rates the hop keeps its length in time (557 samples at 48 kHz): aubio sizes the stretch of
// onsets it looks for beats in as a power of two of hops of about 5.8 s, which 512-sample hops
// at 48 kHz would double to 10.9 s, and the tempo would take twice as long to be found.
constexpr uint_t WINDOW = 1024;
constexpr double HOP_SECONDS = 512.0 / 44100.0;

uint_t hopAt(double sampleRate)
{
    return static_cast<uint_t>(std::lround(HOP_SECONDS * sampleRate));
}

struct TempoRelease {
    void operator()(aubio_tempo_t* tempo) const { del_aubio_tempo(tempo); }
};
struct VectorRelease {
    void operator()(fvec_t* vector) const { del_fvec(vector); }
};

class AubioBeatTracker final : public zrhost::BeatTracker {
public:
    explicit AubioBeatTracker(double sampleRate)
        : hop_(hopAt(sampleRate)), tempo_(new_aubio_tempo("default", WINDOW, hop_, static_cast<uint_t>(sampleRate))),
          input_(new_fvec(hop_)), output_(new_fvec(1))
    {
    }

    std::size_t hopSize() const override { return hop_; }

    std::optional<double> process(const float* hop) override
    {
        smpl_t* data = fvec_get_data(input_.get());
        for (uint_t i = 0; i < hop_; ++i)
            data[i] = hop[i];
        aubio_tempo_do(tempo_.get(), input_.get(), output_.get());
        if (fvec_get_sample(output_.get(), 0) == 0)
            return std::nullopt;
        return aubio_tempo_get_last_s(tempo_.get());
    }

    double bpm() const override { return aubio_tempo_get_bpm(tempo_.get()); }

private:
    uint_t hop_;
    std::unique_ptr<aubio_tempo_t, TempoRelease> tempo_;
    std::unique_ptr<fvec_t, VectorRelease> input_;
    std::unique_ptr<fvec_t, VectorRelease> output_;
};

std::unique_ptr<zrhost::BeatTracker> makeTracker(double sampleRate)
{
    return std::make_unique<AubioBeatTracker>(sampleRate);
}

} // namespace

} // namespace zrsignal

extern "C" ZR_API const zrsignal::BeatTrackingModule* zrsignalBeatTracking()
{
    static const zrsignal::BeatTrackingModule entries{&zrsignal::makeTracker};
    return &entries;
}
