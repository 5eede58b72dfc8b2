// The tempo of a tapping hand (OSC /zr/tap, the studio's tap button): taps are beats. Three taps
// give a tempo; a pause of more than two seconds starts a new one. Between taps the beat runs on
// at that tempo, so a formula keeps time.
#pragma once

#include <cstdint>

#include "zrhost/Tempo.h"
#include "zrparser/ZrExport.h"
#include "zrshow/inputs/TempoSource.h"

namespace zrshow {

class ZR_API TapTempo final : public TempoSource {
public:
    // `bpm` (0: none) is the tempo until taps say otherwise, its first beat now.
    explicit TapTempo(double bpm, Clock::time_point now = Clock::now());

    zrhost::TempoValues tempoAt(Clock::time_point instant) override;
    void requestTempo(double bpm) override;
    void tap(Clock::time_point instant) override;

private:
    // Seconds since the source began, the time line of its beats.
    double seconds(Clock::time_point instant) const;

    Clock::time_point origin_;
    zrhost::BeatClock taps_;
    double requestedBpm_ = 0.0;
    double requestedAt_ = 0.0; // the first beat of the requested tempo
    // The beat the previous frame was in, counted from the beat it counted from.
    double countedFrom_ = -1.0;
    std::int64_t lastBeat_ = -1;
};

} // namespace zrshow
