// `zrsignal devices`: the audio input devices, by the number and name --audio-in takes.
#pragma once

#include "cli/Command.h"

namespace zrsignal {

class DevicesCommand final : public Command {
public:
    explicit DevicesCommand(CLI::App& parent);
    void addOptions() override {}
    int run() override;
};

} // namespace zrsignal
