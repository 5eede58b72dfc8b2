// The serve command's work, in the show commands' module: the studio's server and, when a show
// file is given, the show of its show pane, until SIGINT or SIGTERM.
#pragma once

#include "cli/ShowCommandsModule.h"

namespace zrsignal {

// Serves until SIGINT or SIGTERM. Prints the page's address on stdout once it listens.
// Returns 1 when the show file is refused; throws InputError like the other commands.
int serveStudio(ServeOptions& options);

} // namespace zrsignal
