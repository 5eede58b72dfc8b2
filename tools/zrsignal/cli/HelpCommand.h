// `zrsignal help NAME`: every overload of a function or operator, with its prototype,
// description, argument count and flags.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/Command.h"

namespace zrsignal {

class HelpCommand final : public Command {
public:
    explicit HelpCommand(CLI::App& parent);
    void addOptions() override;
    int run() override;

private:
    std::string name_;
};

// Writes the overloads of `name` to `out` and returns 0; when no item has that name, writes
// why to `err` with the names like it and returns 1.
int printHelp(std::ostream& out, std::ostream& err, const std::string& name);

} // namespace zrsignal
