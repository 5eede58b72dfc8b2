// `zrsignal plot`: evaluates like eval and draws every formula's values over time as an SVG chart.
#pragma once

#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/Options.h"

namespace zrsignal {

class PlotCommand final : public Command {
public:
    explicit PlotCommand(CLI::App& parent);
    bool takesExpression() const override { return true; }
    void addOptions() override;
    int run() override;

private:
    RunOptions options_;
    std::string expression_;               // the positional one, drawn first
    std::vector<std::string> expressions_; // --expr
    std::string outputPath_;
    std::string title_;                    // empty: the expressions
};

} // namespace zrsignal
