// Least-squares tempo over the last beats, with missed beats counted by their gaps.
#include "zrhost/Tempo.h"

#include <algorithm>
#include <cmath>

namespace zrhost {

void BeatClock::beatAt(double seconds)
{
    double number = 0.0;
    if (count_ > 0) {
        const double interval = seconds - lastBeat();
        // A gap of about two periods is a missed beat, not a slower tempo.
        const double period = bpm_ > 0.0 ? 60.0 / bpm_ : interval;
        const double lastNumber = numbers_[(next_ + WINDOW - 1) % WINDOW];
        number = lastNumber + std::max(1.0, std::round(interval / period));
    }
    times_[next_] = seconds;
    numbers_[next_] = number;
    next_ = (next_ + 1) % WINDOW;
    count_ = std::min(count_ + 1, WINDOW);
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
