// The run subcommand of zrsignal: its options, and running a show until its frames are done
// or it is interrupted.
#pragma once

#include <string>

#include "ShowRunner.h"

namespace CLI {
class App;
}

namespace zrsignal {

class ShowRefused;

// Registers the options of `run` on `command`; `options` must outlive the parse.
void addShowRunOptions(CLI::App& command, ShowRunOptions& options);
// --frames and --clock, with what they mean for the command.
void addShowFramesOptions(CLI::App& command, ShowRunOptions& options, const std::string& framesHelp,
                          const std::string& clockHelp);
// The options that feed a show (--audio, --input, --osc-port, --seed), which `serve` shares.
void addShowFeedOptions(CLI::App& command, ShowRunOptions& options);

// Writes every problem of a refused show and the closing line to stderr; returns 1.
int reportRefusedShow(const ShowRefused& refused);

// Runs the show and writes the summary to stderr. Returns the exit status: 0 when the show
// ran (errors while running are counted, not fatal), 1 when the show file is refused, with
// every problem on stderr. Throws InputError (1) and LibraryFailure (2) like the other commands.
int runShow(const ShowRunOptions& options);

} // namespace zrsignal
