// The subcommand a command stands for.
#include "cli/Command.h"

#include <CLI/CLI.hpp>

namespace zrsignal {

Command::Command(CLI::App& parent, const std::string& name, const std::string& description)
    : app_(*parent.add_subcommand(name, description))
{
}

} // namespace zrsignal
