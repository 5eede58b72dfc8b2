// Pulses counted into beats; the tempo from the time the last 24 pulse intervals took.
#include "zrshow/inputs/MidiClock.h"

#include <algorithm>

namespace zrshow {

void MidiClock::start()
{
    restart_ = true;
    running_ = true;
}

void MidiClock::resume()
{
    running_ = true;
}

void MidiClock::stop()
{
    running_ = false;
}

void MidiClock::pulse(Clock::time_point instant)
{
    pulses_[nextPulse_] = instant;
    nextPulse_ = (nextPulse_ + 1) % pulses_.size();
    pulseCount_ = std::min(pulseCount_ + 1, pulses_.size());
    if (!running_)
        return;
    if (restart_) {
        sincePulse0_ = 0;
        lastBeat_ = UINT64_MAX;
        restart_ = false;
    } else {
        ++sincePulse0_;
    }
}

zrhost::TempoValues MidiClock::tempoAt(Clock::time_point instant)
{
    zrhost::TempoValues values;
    if (pulseCount_ == 0)
        return values;
    if (running_) {
        const std::uint64_t beat = sincePulse0_ / PULSES_PER_BEAT;
        values.beat = beat != lastBeat_ ? 1.0 : 0.0;
        lastBeat_ = beat;
    }
    const double interval = pulseInterval();
    if (interval <= 0.0)
        return values;
    values.bpm = 60.0 / (interval * PULSES_PER_BEAT);
    if (!running_)
        return values;
    // Within the beat: the pulses since its first, and how far the next pulse has come.
    const Clock::time_point newest = pulses_[(nextPulse_ + pulses_.size() - 1) % pulses_.size()];
    const double sincePulse = std::clamp(std::chrono::duration<double>(instant - newest).count() / interval, 0.0, 1.0);
    values.beatphase = std::min((static_cast<double>(sincePulse0_ % PULSES_PER_BEAT) + sincePulse) / PULSES_PER_BEAT, 1.0);
    return values;
}

double MidiClock::pulseInterval() const
{
    if (pulseCount_ < 2)
        return 0.0;
    // Pulse i, from the oldest kept to the newest, against its time: the slope is the interval.
    auto secondsOf = [this](std::size_t i) {
        const Clock::time_point first = pulses_[(nextPulse_ + pulses_.size() - pulseCount_) % pulses_.size()];
        return std::chrono::duration<double>(pulses_[(nextPulse_ + pulses_.size() - pulseCount_ + i) % pulses_.size()] - first)
            .count();
    };
    double meanIndex = 0.0;
    double meanTime = 0.0;
    for (std::size_t i = 0; i < pulseCount_; ++i) {
        meanIndex += static_cast<double>(i);
        meanTime += secondsOf(i);
    }
    meanIndex /= static_cast<double>(pulseCount_);
    meanTime /= static_cast<double>(pulseCount_);
    double covariance = 0.0;
    double variance = 0.0;
    for (std::size_t i = 0; i < pulseCount_; ++i) {
        covariance += (static_cast<double>(i) - meanIndex) * (secondsOf(i) - meanTime);
        variance += (static_cast<double>(i) - meanIndex) * (static_cast<double>(i) - meanIndex);
    }
    return covariance / variance;
}

} // namespace zrshow
