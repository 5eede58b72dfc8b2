// `zrsignal serve [SHOW.toml]`: the formula studio, a web page served on this machine to write
// formulas and see their curves, look functions up, and watch (and edit) a show without lights.
#pragma once

#include <string>

#include "ShowRunner.h"

namespace CLI {
class App;
}

namespace zrsignal {

struct ServeOptions {
    std::string listen = "127.0.0.1";
    int port = 8040;         // 0: any free port
    bool sendOutputs = false; // the show's frames go to its outputs too
    ShowRunOptions show;     // showPath empty: no show pane
};

// Registers the options of `serve`; `options` must outlive the parse.
void addServeOptions(CLI::App& command, ServeOptions& options);

// Serves until SIGINT or SIGTERM. Prints the page's address on stdout once it listens.
// Returns 1 when the show file is refused; throws InputError like the other commands.
int runServe(ServeOptions& options);

} // namespace zrsignal
