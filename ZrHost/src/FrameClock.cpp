// Simulated and real frame clocks behind the library's replaceable tick source.
#include "zrhost/FrameClock.h"

#include <cmath>
#include <thread>

#include "zrparser/ZrPlatform.h"

namespace zrhost {

namespace {

// The library reads one tick source for the whole process; it answers each thread with that
// thread's own clock, so a thread running frames on the simulated clock leaves the others alone.
// While a thread runs frames, every read in a frame gets that frame's one instant: simulated,
// or read from the steady clock as the frame began.
thread_local bool frameHere = false;
thread_local std::uint64_t frameNow = 0;

std::uint64_t steadyMilliseconds()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::uint64_t readThreadClock()
{
    return frameHere ? frameNow : steadyMilliseconds();
}

} // namespace

std::uint64_t simulatedTick(std::uint64_t frame, double fps)
{
    return 1000000u + static_cast<std::uint64_t>(std::floor(static_cast<double>(frame) * 1000.0 / fps));
}

FrameClock::FrameClock(ClockMode mode, double fps) : mode_(mode), fps_(fps)
{
    zr::setTickSource(&readThreadClock);
    // The simulated clock reads frame 0 from the start (compiling included); the real one the
    // steady clock until the first frame begins.
    frameHere = mode_ == ClockMode::Simulated;
    frameNow = simulatedTick(0, fps_);
}

FrameClock::~FrameClock()
{
    frameHere = false;
}

void FrameClock::beginFrameNow()
{
    frameNow = steadyMilliseconds();
    frameHere = true;
}

FrameClock::Instant FrameClock::threadInstant()
{
    return {frameHere, frameNow};
}

void FrameClock::adoptInstant(Instant instant)
{
    frameHere = instant.inFrame;
    frameNow = instant.tick;
}

void FrameClock::enterFrame(std::uint64_t frame)
{
    if (mode_ == ClockMode::Simulated) {
        frameNow = simulatedTick(frame, fps_);
        return;
    }
    if (frame == 0) {
        start_ = std::chrono::steady_clock::now();
    } else {
        const std::chrono::duration<double> offset(static_cast<double>(frame) / fps_);
        std::this_thread::sleep_until(start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(offset));
    }
    beginFrameNow();
}

} // namespace zrhost
