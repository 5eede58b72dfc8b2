// The tempo of MIDI clock: 24 pulses a beat from another machine (a DJ's player, a sequencer),
// with start, continue and stop. The tempo is the slope of a least-squares line through the
// pulses of the last beat, which evens out the jitter of each pulse's arrival.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "zrparser/ZrExport.h"
#include "zrshow/inputs/TempoSource.h"

namespace zrshow {

class ZR_API MidiClock final : public TempoSource {
public:
    static constexpr unsigned PULSES_PER_BEAT = 24;

    // Frame loop, before tempoAt: what the clock's port sent, in order.
    void pulse(Clock::time_point instant);
    void start(); // the next pulse begins beat 1
    void resume();
    void stop();

    zrhost::TempoValues tempoAt(Clock::time_point instant) override;
    // The clock's sender sets the tempo; a show cannot.
    void requestTempo(double) override {}

private:
    // Seconds between two pulses, from the pulses kept; 0 with fewer than two.
    double pulseInterval() const;

    std::array<Clock::time_point, PULSES_PER_BEAT + 1> pulses_{}; // the newest pulses, a ring
    std::size_t nextPulse_ = 0;
    std::size_t pulseCount_ = 0; // in the ring, at most PULSES_PER_BEAT + 1
    std::uint64_t sincePulse0_ = 0; // pulses since start: the beat is this / 24
    bool running_ = true;
    bool restart_ = true; // the next pulse is pulse 0: at first, and after a start
    std::uint64_t lastBeat_ = UINT64_MAX;
};

} // namespace zrshow
