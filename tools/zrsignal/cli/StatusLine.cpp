// Per-interval figures taken from the statistics' window counters.
#include "cli/StatusLine.h"

#include <cstdio>

#include "cli/ShowConsole.h"
#include "zrshow/show/ShowStatistics.h"

namespace zrsignal {

namespace {

constexpr std::chrono::milliseconds REDRAW_INTERVAL(500);

} // namespace

StatusLine::StatusLine(ShowConsole& console, zrshow::ShowStatistics& statistics) : console_(console), statistics_(statistics)
{
    if (console_.isTerminal())
        thread_ = std::thread([this] { run(); });
}

StatusLine::~StatusLine()
{
    if (!thread_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    console_.clearStatus();
}

void StatusLine::draw(std::chrono::duration<double> interval)
{
    const auto frames = statistics_.windowFrames.exchange(0);
    const auto busy = statistics_.windowBusyNanos.exchange(0);
    const auto maximum = statistics_.windowMaxBusyNanos.exchange(0);
    char line[200];
    std::snprintf(line, sizeof line, "frames %llu | %.1f fps | frame %.3f ms mean, %.3f ms max | slow %llu | errors %llu",
                  static_cast<unsigned long long>(statistics_.frames.load()),
                  static_cast<double>(frames) / interval.count(),
                  frames > 0 ? static_cast<double>(busy) / static_cast<double>(frames) / 1e6 : 0.0,
                  static_cast<double>(maximum) / 1e6,
                  static_cast<unsigned long long>(statistics_.slowFrames.load()),
                  static_cast<unsigned long long>(statistics_.errors.load()));
    std::string text = line;
    if (statistics_.hasTempo.load()) {
        char tempo[64];
        std::snprintf(tempo, sizeof tempo, " | %.1f bpm, beat %llu", statistics_.bpm.load(),
                      static_cast<unsigned long long>(statistics_.beats.load()));
        text += tempo;
    }
    console_.status(text);
}

void StatusLine::run()
{
    auto last = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, REDRAW_INTERVAL, [this] { return stopping_; })) {
        const auto now = std::chrono::steady_clock::now();
        draw(now - last);
        last = now;
    }
}

} // namespace zrsignal
