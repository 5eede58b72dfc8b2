// The clock the timer functions read while frames run: simulated from the frame number, or real.
#pragma once

#include <chrono>
#include <cstdint>

#include "zrparser/ZrExport.h"

namespace zrhost {

enum class ClockMode { Simulated, Real };

// Feeds the library's tick count to the calling thread for the life of the object (one at a
// time per thread): a show and formula curves may run side by side, each on its own clock.
class ZR_API FrameClock {
public:
    FrameClock(ClockMode mode, double fps);
    ~FrameClock();
    FrameClock(const FrameClock&) = delete;
    FrameClock& operator=(const FrameClock&) = delete;

    // Call before evaluating frame `frame` (from 0). Simulated: the tick count becomes exactly
    // 1000000 + floor(frame × 1000 / fps) ms, with no waiting. Real: waits until the frame's
    // time since frame 0, so frames are paced at fps on the steady clock, then begins the frame
    // now. Every read of the tick count in a frame gets the same instant.
    void enterFrame(std::uint64_t frame);
    // Real: the frame begins now, for a host that paces frames itself (FramePacer): until the
    // next frame begins, the tick count is the steady clock's reading of this instant.
    void beginFrameNow();

    // Whether output should reach its reader frame by frame.
    bool isRealTime() const { return mode_ == ClockMode::Real; }

    // What the tick count reads on the calling thread, for threads that work on its frame:
    // each adopts it before it evaluates, and so reads the frame's instant too.
    struct Instant {
        bool inFrame = false;
        std::uint64_t tick = 0;
    };
    static Instant threadInstant();
    static void adoptInstant(Instant instant);

private:
    ClockMode mode_;
    double fps_;
    std::chrono::steady_clock::time_point start_{};
};

// The tick count of `frame` on the simulated clock.
ZR_API std::uint64_t simulatedTick(std::uint64_t frame, double fps);

} // namespace zrhost
