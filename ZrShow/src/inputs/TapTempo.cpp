// Taps as beat instants in a BeatClock; a requested tempo runs until three taps replace it.
#include "zrshow/inputs/TapTempo.h"

#include <cmath>

namespace zrshow {

namespace {

// A pause this long between taps starts a new tempo.
constexpr double NEW_TEMPO_AFTER = 2.0;

} // namespace

TapTempo::TapTempo(double bpm, Clock::time_point now) : origin_(now)
{
    if (bpm > 0.0)
        requestTempo(bpm);
}

double TapTempo::seconds(Clock::time_point instant) const
{
    return std::chrono::duration<double>(instant - origin_).count();
}

void TapTempo::requestTempo(double bpm)
{
    requestedBpm_ = bpm;
    requestedAt_ = seconds(Clock::now());
    taps_.reset();
}

void TapTempo::tap(Clock::time_point instant)
{
    const double at = seconds(instant);
    if (taps_.beats() > 0 && at - taps_.lastBeat() > NEW_TEMPO_AFTER)
        taps_.reset();
    taps_.beatAt(at);
}

zrhost::TempoValues TapTempo::tempoAt(Clock::time_point instant)
{
    const double now = seconds(instant);
    double bpm = requestedBpm_;
    double anchor = requestedAt_;
    if (taps_.bpm() > 0.0) {
        bpm = taps_.bpm();
        anchor = taps_.lastBeat();
    }
    zrhost::TempoValues values;
    if (bpm <= 0.0 || now < anchor)
        return values;
    // Beats counted from the anchor, itself a beat: one begins when the count passes a whole
    // number, or when the count starts again from a new tap.
    const double beats = (now - anchor) * bpm / 60.0;
    const auto beat = static_cast<std::int64_t>(std::floor(beats));
    values.bpm = bpm;
    values.beatphase = beats - std::floor(beats);
    values.beat = anchor != countedFrom_ || beat != lastBeat_ ? 1.0 : 0.0;
    countedFrom_ = anchor;
    lastBeat_ = beat;
    return values;
}

} // namespace zrshow
