// Simulated and real frame clocks behind the library's replaceable tick source.
#include "FrameClock.h"

#include <atomic>
#include <cmath>
#include <thread>

#include "zrparser/ZrPlatform.h"

namespace zrsignal {

namespace {

// The tick source is a plain function, so the simulated time lives here.
std::atomic<std::uint64_t> simulatedNow{0};

std::uint64_t readSimulatedNow()
{
    return simulatedNow.load(std::memory_order_relaxed);
}

} // namespace

std::uint64_t simulatedTick(std::uint64_t frame, double fps)
{
    return 1000000u + static_cast<std::uint64_t>(std::floor(static_cast<double>(frame) * 1000.0 / fps));
}

FrameClock::FrameClock(ClockMode mode, double fps) : mode_(mode), fps_(fps)
{
    if (mode_ == ClockMode::Simulated) {
        simulatedNow.store(simulatedTick(0, fps_), std::memory_order_relaxed);
        zr::setTickSource(&readSimulatedNow);
    } else {
        zr::setTickSource(nullptr);
    }
}

FrameClock::~FrameClock()
{
    zr::setTickSource(nullptr);
}

void FrameClock::enterFrame(std::uint64_t frame)
{
    if (mode_ == ClockMode::Simulated) {
        simulatedNow.store(simulatedTick(frame, fps_), std::memory_order_relaxed);
        return;
    }
    if (frame == 0) {
        start_ = std::chrono::steady_clock::now();
        return;
    }
    const std::chrono::duration<double> offset(static_cast<double>(frame) / fps_);
    std::this_thread::sleep_until(start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(offset));
}

} // namespace zrsignal
