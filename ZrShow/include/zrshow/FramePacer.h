// When each frame of a show starts. Real time: at fps on the steady clock, and a frame that
// ends after the next one was due is slow: it is counted and the schedule starts again from
// there, so frames that are late are never made up for by a burst. Simulated: no waiting, the
// timer functions read the frame's own time.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "zrhost/FrameClock.h"
#include "zrparser/ZrExport.h"

namespace zrshow {

// How a pacer reads the time and waits; tests give their own.
struct PacerTime {
    using Clock = std::chrono::steady_clock;
    std::function<Clock::time_point()> now = [] { return Clock::now(); };
    std::function<void(Clock::time_point)> sleepUntil = [](Clock::time_point t) { std::this_thread::sleep_until(t); };
};

class ZR_API FramePacer {
public:
    using Clock = std::chrono::steady_clock;

    // `clock` must outlive the pacer; it is the one feeding the library's tick count. A real-time
    // pacer over a simulated clock waits at fps while the timers read each frame's own time.
    FramePacer(zrhost::ClockMode mode, double fps, zrhost::FrameClock& clock, PacerTime time = {});

    // Waits until frame `frame` is due (real) or sets its tick count (simulated).
    void beginFrame(std::uint64_t frame);
    // Call when frame `frame`'s work is done; true when it ended after the next frame was due.
    bool endFrame(std::uint64_t frame);

private:
    Clock::time_point dueTime(std::uint64_t frame) const;

    zrhost::ClockMode mode_;
    std::chrono::duration<double> period_;
    zrhost::FrameClock& clock_;
    PacerTime time_;
    Clock::time_point anchor_{};    // when frame anchorFrame_ started
    std::uint64_t anchorFrame_ = 0;
    bool anchored_ = false;         // a host that runs a show in steps begins past frame 0
};

} // namespace zrshow
