// The run command's work, in the show commands' module: a show on this terminal, with its
// messages and status line on stderr, until its frames are done or it is interrupted.
#pragma once

#include "zrshow/ShowRunOptions.h"

namespace zrshow {
class ShowRefused;
}

namespace zrsignal {

// Runs the show and writes the summary to stderr. Returns 0 when the show ran (errors while
// running are counted, not fatal), 1 when the show file is refused, with every problem on
// stderr. Throws InputError (1) and LibraryFailure (2) like the other commands.
int runShow(const zrshow::ShowRunOptions& options);

// Writes every problem of a refused show and the closing line to stderr; returns 1.
int reportRefusedShow(const zrshow::ShowRefused& refused);

} // namespace zrsignal
