// Least-squares tempo over the last beats, with missed beats counted by their gaps and a change
// of tempo taken after two intervals that do not fit.
#include "zrhost/Tempo.h"

#include <algorithm>
#include <cmath>

namespace zrhost {

namespace {

// How far an interval may be from the period (or a multiple of it) and still fit the tempo.
constexpr double TOLERANCE = 0.1;

} // namespace

void BeatClock::beatAt(double seconds)
{
    double number = 0.0;
    if (count_ > 0) {
        const double interval = seconds - lastBeat();
        const double period = bpm_ > 0.0 ? 60.0 / bpm_ : interval;
        const double periods = std::max(1.0, std::round(interval / period));
        // A gap of about two periods is a missed beat, not a slower tempo.
        const bool fits = std::abs(interval / period - periods) <= TOLERANCE * periods;
        offTempo_ = bpm_ > 0.0 && !fits ? offTempo_ + 1 : 0;
        number = numbers_[(next_ + WINDOW - 1) % WINDOW] + (fits ? periods : 1.0);
    }
    times_[next_] = seconds;
    numbers_[next_] = number;
    next_ = (next_ + 1) % WINDOW;
    count_ = std::min(count_ + 1, WINDOW);
    // Two intervals in a row off the tempo: it changed, so the tempo is taken from them alone.
    if (offTempo_ >= 2) {
        keepLast(3);
        offTempo_ = 0;
    }
    fitTempo();
}

void BeatClock::keepLast(std::size_t beats)
{
    // Renumbers the newest beats one apart, oldest first, so the line runs through them only.
    std::array<double, WINDOW> times{};
    const std::size_t kept = std::min(beats, count_);
    for (std::size_t i = 0; i < kept; ++i)
        times[i] = times_[(next_ + WINDOW - kept + i) % WINDOW];
    for (std::size_t i = 0; i < kept; ++i) {
        times_[i] = times[i];
        numbers_[i] = static_cast<double>(i);
    }
    next_ = kept % WINDOW;
    count_ = kept;
}

void BeatClock::fitTempo()
{
    if (count_ < 3)
        return;
    double meanNumber = 0.0;
    double meanTime = 0.0;
    for (std::size_t i = 0; i < count_; ++i) {
        meanNumber += numbers_[i];
        meanTime += times_[i];
    }
    meanNumber /= static_cast<double>(count_);
    meanTime /= static_cast<double>(count_);
    double covariance = 0.0;
    double variance = 0.0;
    for (std::size_t i = 0; i < count_; ++i) {
        covariance += (numbers_[i] - meanNumber) * (times_[i] - meanTime);
        variance += (numbers_[i] - meanNumber) * (numbers_[i] - meanNumber);
    }
    const double period = covariance / variance;
    if (period > 0.0)
        bpm_ = 60.0 / period;
}

double BeatClock::phaseAt(double seconds) const
{
    if (bpm_ <= 0.0 || count_ == 0)
        return 0.0;
    const double beats = (seconds - lastBeat()) * bpm_ / 60.0;
    const double phase = beats - std::floor(beats);
    return std::clamp(phase, 0.0, 1.0);
}

} // namespace zrhost
