// Frame-time bookkeeping with one writer (the frame loop) and relaxed atomics.
#include "zrshow/show/ShowStatistics.h"

#include <cstdio>

namespace zrshow {

namespace {

void raise(std::atomic<std::uint64_t>& maximum, std::uint64_t value)
{
    if (value > maximum.load(std::memory_order_relaxed))
        maximum.store(value, std::memory_order_relaxed);
}

} // namespace

void ShowStatistics::recordFrame(std::chrono::nanoseconds busy, bool slow)
{
    const auto nanos = static_cast<std::uint64_t>(busy.count());
    frames.fetch_add(1, std::memory_order_relaxed);
    busyNanos.fetch_add(nanos, std::memory_order_relaxed);
    raise(maxBusyNanos, nanos);
    windowFrames.fetch_add(1, std::memory_order_relaxed);
    windowBusyNanos.fetch_add(nanos, std::memory_order_relaxed);
    raise(windowMaxBusyNanos, nanos);
    if (slow)
        slowFrames.fetch_add(1, std::memory_order_relaxed);
}

void ShowStatistics::recordTempo(double framesBpm, bool beat)
{
    hasTempo.store(true, std::memory_order_relaxed);
    bpm.store(framesBpm, std::memory_order_relaxed);
    if (beat)
        beats.fetch_add(1, std::memory_order_relaxed);
}

std::string ShowStatistics::summary(std::chrono::duration<double> elapsed) const
{
    const auto count = frames.load();
    const double seconds = elapsed.count();
    const double mean = count > 0 ? static_cast<double>(busyNanos.load()) / static_cast<double>(count) / 1e6 : 0.0;
    const auto slow = slowFrames.load();
    const auto failed = errors.load();
    char text[256];
    std::snprintf(text, sizeof text,
                  "%llu frames in %.2f s (%.1f fps); frame time %.3f ms mean, %.3f ms max; %llu slow frame%s; %llu "
                  "error%s",
                  static_cast<unsigned long long>(count), seconds,
                  seconds > 0 ? static_cast<double>(count) / seconds : 0.0, mean,
                  static_cast<double>(maxBusyNanos.load()) / 1e6, static_cast<unsigned long long>(slow),
                  slow == 1 ? "" : "s", static_cast<unsigned long long>(failed), failed == 1 ? "" : "s");
    std::string all = text;
    if (const auto unsent = unsentPackets.load())
        all += " (" + std::to_string(unsent) + " packets not sent)";
    if (!hasTempo.load())
        return all;
    char tempo[96];
    std::snprintf(tempo, sizeof tempo, "; %llu beats, %.1f bpm at the end", static_cast<unsigned long long>(beats.load()),
                  bpm.load());
    return all + tempo;
}

} // namespace zrshow
