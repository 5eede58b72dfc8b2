// Terminal control for the status line: carriage return and "erase to end of line".
#include "cli/ShowConsole.h"

#include <unistd.h>

namespace zrsignal {

namespace {

constexpr const char* ERASE_LINE = "\r\033[K";

} // namespace

ShowConsole::ShowConsole(std::FILE* stream, std::string command)
    : stream_(stream), terminal_(isatty(fileno(stream)) == 1), command_(std::move(command))
{
}

void ShowConsole::structureChanged(const std::string& path, const std::string& changes)
{
    message(zrshow::structureChangeMessage(path, changes, "restart " + command_));
}

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
