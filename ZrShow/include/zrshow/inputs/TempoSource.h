// Where a show's bpm, beat and beatphase come from, when not from the audio: an Ableton Link
// session, MIDI clock or taps. One source a show, read by the frame loop at each frame's instant.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "zrhost/FrameInputs.h"
#include "zrhost/Tempo.h"
#include "zrparser/ZrExport.h"
#include "zrshow/inputs/LiveInput.h"

namespace zrshow {

struct ShowTempo;

class ZR_API TempoSource {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~TempoSource() = default;

    // The tempo at `instant`, a frame's: bpm, the phase in the beat, and beat 1 when a beat began
    // since the previous call. Frame loop only: allocates nothing, takes no lock, never waits.
    virtual zrhost::TempoValues tempoAt(Clock::time_point instant) = 0;

    // The show asks for a tempo (OSC /zr/tempo): a Link session takes it for every peer, taps
    // start from it. Frame loop.
    virtual void requestTempo(double bpm) = 0;

    // A tap at `instant`: only a tap source counts it. Frame loop.
    virtual void tap(Clock::time_point instant) { (void)instant; }
};

// Makes the tempo source of a show's [tempo], for sources a host provides (a Link session:
// its library is not one the show runtime links). Throws InputError when it cannot.
using TempoSourceFactory = std::unique_ptr<TempoSource> (*)(const ShowTempo& tempo);

// Writes a tempo source's values into the tempo variables before each frame.
class ZR_API TempoInput final : public LiveInput {
public:
    // Defines "bpm", "beat" and "beatphase" in `variables`; `name` says where the tempo comes from.
    TempoInput(std::unique_ptr<TempoSource> source, zrhost::HostVariables& variables, const std::string& name);

    void beforeFrame(std::uint64_t frame, std::chrono::steady_clock::time_point instant) override;
    TempoSource& source() { return *source_; }

private:
    std::unique_ptr<TempoSource> source_;
    zrhost::TempoVariables variables_;
};

} // namespace zrshow
