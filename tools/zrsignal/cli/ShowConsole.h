// A running show's events on a terminal's stream (stderr), from any of its threads: messages on
// lines of their own and, on a terminal, one status line that stays below them.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "zrshow/ShowEvents.h"

namespace zrsignal {

class ShowConsole final : public zrshow::ShowEvents {
public:
    // Writes to `stream`; a status line is shown only when it is a terminal. `command` is how
    // the user starts the show again ("zrsignal run").
    ShowConsole(std::FILE* stream, std::string command);

    bool isTerminal() const { return terminal_; }

    // Writes `text` (one or more lines) above the status line, which is drawn again under it.
    void message(const std::string& text) override;
    void structureChanged(const std::string& path, const std::string& changes) override;
    // Replaces the status line; nothing when the stream is not a terminal.
    void status(const std::string& line);
    // Removes the status line, for the summary that ends a run.
    void clearStatus();

private:
    std::mutex mutex_;
    std::FILE* stream_;
    bool terminal_;
    std::string statusShown_;
    std::string command_;
};

} // namespace zrsignal
