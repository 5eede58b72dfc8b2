// Portable platform layer: NaN, random numbers and the replaceable millisecond tick count.
#include "zrparser/ZrPlatform.h"

#include <atomic>
#include <bit>
#include <chrono>
#include <cstdlib>

namespace zr {

double nan()
{
    return std::bit_cast<double>(std::uint64_t{0x7FFFFFFFFFFFFFFFull});
}

int rand()
{
    return std::rand() & 0x7FFF;
}

namespace {

std::uint64_t steadyClockMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::atomic<TickSource> currentTickSource{&steadyClockMs};

} // namespace

std::uint64_t tickCount()
{
    return currentTickSource.load(std::memory_order_relaxed)();
}

void setTickSource(TickSource source)
{
    currentTickSource.store(source ? source : &steadyClockMs, std::memory_order_relaxed);
}

} // namespace zr
