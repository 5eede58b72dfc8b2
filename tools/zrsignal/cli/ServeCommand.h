// `zrsignal serve [SHOW.toml]`: the formula studio, a web page served on this machine to write
// formulas and see their curves, look functions up, and watch (and edit) a show without lights.
#pragma once

#include "cli/Command.h"
#include "cli/ShowCommandsModule.h"

namespace zrsignal {

class ServeCommand final : public Command {
public:
    explicit ServeCommand(CLI::App& parent);
    void addOptions() override;
    int run() override;

private:
    ServeOptions options_;
};

} // namespace zrsignal
