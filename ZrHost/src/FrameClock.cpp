// Simulated and real frame clocks behind the library's replaceable tick source.
#include "zrhost/FrameClock.h"

#include <cmath>
#include <thread>

#include "zrparser/ZrPlatform.h"

namespace zrhost {

namespace {

// The library reads one tick source for the whole process; it answers each thread with that
// thread's own clock, so a thread running frames on the simulated clock leaves the others alone.
thread_local bool simulatedHere = false;
thread_local std::uint64_t simulatedNow = 0;

std::uint64_t readThreadClock()
{
    if (simulatedHere)
        return simulatedNow;
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

std::uint64_t simulatedTick(std::uint64_t frame, double fps)
{
    return 1000000u + static_cast<std::uint64_t>(std::floor(static_cast<double>(frame) * 1000.0 / fps));
}

FrameClock::FrameClock(ClockMode mode, double fps) : mode_(mode), fps_(fps)
{
    zr::setTickSource(&readThreadClock);
    simulatedHere = mode_ == ClockMode::Simulated;
    simulatedNow = simulatedTick(0, fps_);
}

FrameClock::~FrameClock()
{
    simulatedHere = false;
}

void FrameClock::enterFrame(std::uint64_t frame)
{
    if (mode_ == ClockMode::Simulated) {
        simulatedNow = simulatedTick(frame, fps_);
        return;
    }
    if (frame == 0) {
        start_ = std::chrono::steady_clock::now();
        return;
    }
    const std::chrono::duration<double> offset(static_cast<double>(frame) / fps_);
    std::this_thread::sleep_until(start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(offset));
}

} // namespace zrhost
