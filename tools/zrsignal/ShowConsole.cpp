// Terminal control for the status line: carriage return and "erase to end of line".
#include "ShowConsole.h"

#include <unistd.h>

namespace zrsignal {

namespace {

constexpr const char* ERASE_LINE = "\r\033[K";

} // namespace

ShowConsole::ShowConsole(std::FILE* stream) : stream_(stream), terminal_(isatty(fileno(stream)) == 1) {}

void ShowConsole::message(const std::string& text)
{
    const std::lock_guard lock(mutex_);
    if (!statusShown_.empty())
        std::fputs(ERASE_LINE, stream_);
    std::fputs(text.c_str(), stream_);
    if (text.empty() || text.back() != '\n')
        std::fputc('\n', stream_);
    std::fputs(statusShown_.c_str(), stream_);
    std::fflush(stream_);
}

void ShowConsole::status(const std::string& line)
{
    if (!terminal_)
        return;
    const std::lock_guard lock(mutex_);
    statusShown_ = line;
    std::fputs(ERASE_LINE, stream_);
    std::fputs(line.c_str(), stream_);
    std::fflush(stream_);
}

void ShowConsole::clearStatus()
{
    const std::lock_guard lock(mutex_);
    if (statusShown_.empty())
        return;
    std::fputs(ERASE_LINE, stream_);
    std::fflush(stream_);
    statusShown_.clear();
}

} // namespace zrsignal
