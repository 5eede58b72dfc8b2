// The live status line of a show on a terminal: frames, the fps reached, the frame time (mean
// and max) and the error count, redrawn twice a second by a thread of its own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zrshow {
struct ShowStatistics;
}

namespace zrsignal {

class ShowConsole;

class StatusLine {
public:
    // Draws nothing when `console` is not a terminal. Both must outlive this object.
    StatusLine(ShowConsole& console, zrshow::ShowStatistics& statistics);
    // Stops the thread and removes the line.
    ~StatusLine();
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;

private:
    void draw(std::chrono::duration<double> interval);
    void run();

    ShowConsole& console_;
    zrshow::ShowStatistics& statistics_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_; // last: starts once everything it uses exists
};

} // namespace zrsignal
