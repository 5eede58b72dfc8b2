// The Link session as a show's tempo source: tempo, beat and phase read at each frame's instant.
#include "tempo/LinkTempo.h"

#include <ableton/Link.hpp>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>

#include "zrhost/InputError.h"
#include "zrshow/show/ShowFile.h"

namespace zrsignal {

namespace {

using std::chrono::microseconds;

// A bar of four beats: the unit in which peers line up their phase.
constexpr double QUANTUM = 4.0;
// The tempo of a session this show starts alone when its [tempo] gives none.
constexpr double DEFAULT_BPM = 120.0;

class LinkTempo final : public zrshow::TempoSource {
public:
    explicit LinkTempo(double bpm) : link_(bpm > 0.0 ? bpm : DEFAULT_BPM) { link_.enable(true); }

    ~LinkTempo() override { link_.enable(false); }

    zrhost::TempoValues tempoAt(Clock::time_point instant) override
    {
        // Link's clock is CLOCK_MONOTONIC_RAW, the steady clock CLOCK_MONOTONIC, which NTP slews
        // by up to 500 ppm: an offset taken once could drift half a millisecond a second, a
        // frame (25 ms) off the other machines in under a minute. Both clocks read here, once a
        // frame (vDSO calls, no system call), keep the error to the tens of nanoseconds between
        // the two reads.
        const microseconds linkNow = link_.clock().micros();
        const Clock::time_point steadyNow = Clock::now();
        const microseconds at = linkNow + std::chrono::duration_cast<microseconds>(instant - steadyNow);

        // The realtime-safe capture: no lock, no allocation.
        const auto state = link_.captureAudioSessionState();
        zrhost::TempoValues values;
        values.bpm = state.tempo();
        values.beatphase = state.phaseAtTime(at, 1.0);
        // A beat began when the beat count passed a whole number since the previous frame. A count
        // that went back (the session's timeline moved under it) starts counting again, silently.
        const double whole = std::floor(state.beatAtTime(at, QUANTUM));
        values.beat = whole > lastBeat_ ? 1.0 : 0.0;
        lastBeat_ = whole;
        return values;
    }

    void requestTempo(double bpm) override
    {
        // Once per request, not per frame: the application's state will do. Its commit takes
        // Link's lock for a moment, which a request between two frames can afford, and sets the
        // tempo from now on for every peer; tempoAt's captures stay lock-free and see it.
        auto state = link_.captureAppSessionState();
        state.setTempo(bpm, link_.clock().micros());
        link_.commitAppSessionState(state);
    }

private:
    ableton::Link link_;
    // The whole beats counted at the previous frame; at first, none to pass.
    double lastBeat_ = std::numeric_limits<double>::infinity();
};

} // namespace

std::unique_ptr<zrshow::TempoSource> makeLinkTempo(const zrshow::ShowTempo& tempo)
{
    try {
        return std::make_unique<LinkTempo>(tempo.bpm);
    } catch (const std::exception& error) {
        throw zrhost::InputError(std::string("[tempo] source \"link\": cannot join the Link session: ") + error.what());
    }
}

} // namespace zrsignal
