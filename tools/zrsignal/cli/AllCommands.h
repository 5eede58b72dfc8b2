// Every subcommand of zrsignal, in the order its help lists them.
#pragma once

#include <memory>
#include <vector>

#include "cli/Command.h"

namespace zrsignal {

// Registers each command and its options on `app`, which must outlive them.
std::vector<std::unique_ptr<Command>> addAllCommands(CLI::App& app);

} // namespace zrsignal
