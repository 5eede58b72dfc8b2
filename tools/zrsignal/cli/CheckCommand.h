// `zrsignal check EXPR`: compiles only, and prints "constant VALUE" or "ok".
#pragma once

#include <string>

#include "cli/Command.h"
#include "cli/Options.h"

namespace zrsignal {

class CheckCommand final : public Command {
public:
    explicit CheckCommand(CLI::App& parent);
    bool takesExpression() const override { return true; }
    void addOptions() override;
    int run() override;

private:
    DefinitionOptions options_;
    std::string expression_;
};

} // namespace zrsignal
