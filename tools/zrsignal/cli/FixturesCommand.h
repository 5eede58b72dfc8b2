// `zrsignal fixtures [PATTERN]`: the fixture profiles a show can name, and the channels of one.
#pragma once

#include <string>

#include "cli/Command.h"

namespace zrsignal {

class FixturesCommand final : public Command {
public:
    explicit FixturesCommand(CLI::App& parent);
    void addOptions() override;
    int run() override;

private:
    std::string pattern_;
};

} // namespace zrsignal
