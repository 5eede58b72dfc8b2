// `zrsignal list [--json] [--all] [PATTERN]`: the plug-in's functions in catalogue order, and
// with --all the default parser's operators and functions.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "cli/Command.h"

namespace zrsignal {

class ListCommand final : public Command {
public:
    explicit ListCommand(CLI::App& parent);
    void addOptions() override;
    int run() override;

private:
    bool json_ = false;
    bool all_ = false;
    std::string pattern_;
};

// One row per function in the plug-in's createFunc order: index, symbol, ID, help string, args,
// constant, shareable, description, tab-separated, or the same as a JSON array of objects.
// `withDefaults` appends the default parser's operators, then its functions, and adds a column
// (JSON key "origin") saying where each row comes from: plugin, operator or function. Only the
// rows `pattern` finds are written.
void listCatalogue(std::ostream& out, bool asJson, bool withDefaults, std::string_view pattern = {});

} // namespace zrsignal
