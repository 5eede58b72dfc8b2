// The beat-tracking module: the beats of music are the onsets of its bass drum, which aubio's
// onset detector finds in the bass below 150 Hz; the tempo is fitted to them, and an onset that
// falls between two beats of the tempo found (a bass note on the off-beat) is no beat, nor is one
// much quieter than the bass drum has lately been (what hi-hats and noise leave in the bass).
// Three onsets off the beat in a row, with no beat among them, are a new tempo: it is found
// again from them on.
#include <aubio/aubio.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "tempo/BeatTrackingModule.h"
#include "zrhost/Tempo.h"
#include "zrparser/ZrExport.h"

namespace zrsignal {

namespace {

// Where the bass drum is: above this the snare's body and the hi-hats would be onsets too.
constexpr double BASS_DRUM_TOP = 150.0;
// aubio's onset window, and its step: 256 samples place an onset within 6 ms at 44.1 kHz.
constexpr uint_t WINDOW = 1024;
constexpr uint_t HOP = 256;
// Two onsets closer than this are one. It is short, so that an onset just before a bass drum
// (the tail of a snare) does not hide the drum's own.
constexpr smpl_t SHORTEST_ONSET_MS = 50;
// Two beats closer than this are one (300 beats a minute).
constexpr double SHORTEST_BEAT = 0.2;
// With a tempo found, an onset this close to the beat it expects (as a part of the beat) is one.
constexpr double ON_THE_BEAT = 0.2;
// Onsets off the beat in a row that make the tempo found no longer the music's.
constexpr int OFF_THE_BEAT_FOR_A_NEW_TEMPO = 3;
// An onset whose bass peaks below this part of the loudest lately is no bass drum.
constexpr double BASS_DRUM_LOUDNESS = 0.3;
// How long "lately" is: the loudest peak halves in this many seconds.
constexpr double PEAK_HALF_LIFE = 4.0;
// aubio reports an onset a few hops after its sound began: the peak is looked for that far back.
constexpr std::size_t PEAK_HOPS = 4;

struct OnsetRelease {
    void operator()(aubio_onset_t* onset) const { del_aubio_onset(onset); }
};
struct VectorRelease {
    void operator()(fvec_t* vector) const { del_fvec(vector); }
};

class BassDrumBeatTracker final : public zrhost::BeatTracker {
public:
    explicit BassDrumBeatTracker(double sampleRate)
        : peakDecay_(std::exp2(-static_cast<double>(HOP) / (PEAK_HALF_LIFE * sampleRate))),
          onset_(new_aubio_onset("complex", WINDOW, HOP, static_cast<uint_t>(sampleRate))), input_(new_fvec(HOP)),
          output_(new_fvec(1))
    {
        aubio_onset_set_minioi_ms(onset_.get(), SHORTEST_ONSET_MS);
        // Fourth order, so that the snare's body just above is left out.
        const zrhost::Biquad lowPass = zrhost::Biquad::lowPass(sampleRate, BASS_DRUM_TOP);
        filters_[0] = lowPass;
        filters_[1] = lowPass;
    }

    std::size_t hopSize() const override { return HOP; }

    std::optional<double> process(const float* hop) override
    {
        smpl_t* data = fvec_get_data(input_.get());
        double hopPeak = 0.0;
        for (uint_t i = 0; i < HOP; ++i) {
            data[i] = static_cast<smpl_t>(filters_[1].filter(filters_[0].filter(hop[i])));
            hopPeak = std::max(hopPeak, std::abs(static_cast<double>(data[i])));
        }
        recentPeaks_[nextPeak_] = hopPeak;
        nextPeak_ = (nextPeak_ + 1) % PEAK_HOPS;
        loudest_ = std::max(hopPeak, loudest_ * peakDecay_);
        aubio_onset_do(onset_.get(), input_.get(), output_.get());
        if (fvec_get_sample(output_.get(), 0) == 0)
            return std::nullopt;
        if (*std::max_element(recentPeaks_.begin(), recentPeaks_.end()) < BASS_DRUM_LOUDNESS * loudest_)
            return std::nullopt;
        const double at = aubio_onset_get_last_s(onset_.get());
        if (beats_.beats() > 0 && at - beats_.lastBeat() < SHORTEST_BEAT)
            return std::nullopt;
        const double phase = beats_.phaseAt(at);
        if (beats_.bpm() > 0.0 && phase > ON_THE_BEAT && phase < 1.0 - ON_THE_BEAT) {
            if (++offTheBeat_ < OFF_THE_BEAT_FOR_A_NEW_TEMPO)
                return std::nullopt;
            beats_.reset();
        }
        offTheBeat_ = 0;
        beats_.beatAt(at);
        return at;
    }

    double bpm() const override { return beats_.bpm(); }

private:
    double peakDecay_; // the loudest peak's fall in one hop
    double loudest_ = 0.0;
    std::array<double, PEAK_HOPS> recentPeaks_{};
    std::size_t nextPeak_ = 0;
    std::unique_ptr<aubio_onset_t, OnsetRelease> onset_;
    std::unique_ptr<fvec_t, VectorRelease> input_;
    std::unique_ptr<fvec_t, VectorRelease> output_;
    zrhost::Biquad filters_[2];
    zrhost::BeatClock beats_; // the beats so far, to tell a beat from an off-beat
    int offTheBeat_ = 0;      // onsets off the beat since the last beat
};

std::unique_ptr<zrhost::BeatTracker> makeTracker(double sampleRate)
{
    return std::make_unique<BassDrumBeatTracker>(sampleRate);
}

} // namespace

} // namespace zrsignal

extern "C" ZR_API const zrsignal::BeatTrackingModule* zrsignalBeatTracking()
{
    static const zrsignal::BeatTrackingModule entries{&zrsignal::makeTracker};
    return &entries;
}
