// `zrsignal eval EXPR`: compiles once, evaluates frame after frame and writes the values to
// stdout, one per line, as CSV or as JSON.
#pragma once

#include <string>

#include "cli/Command.h"
#include "cli/Options.h"

namespace zrsignal {

class EvalCommand final : public Command {
public:
    explicit EvalCommand(CLI::App& parent);
    bool takesExpression() const override { return true; }
    void addOptions() override;
    int run() override;

private:
    RunOptions options_;
    std::string expression_;
};

} // namespace zrsignal
