// `zrsignal run SHOW.toml`: runs a show file, its fixtures' formulas sent as DMX over sACN,
// Art-Net or olad, until its frames are done or it is interrupted.
#pragma once

#include <string>

#include "cli/Command.h"
#include "zrshow/ShowRunOptions.h"

namespace zrsignal {

class RunCommand final : public Command {
public:
    explicit RunCommand(CLI::App& parent);
    void addOptions() override;
    int run() override;

private:
    zrshow::ShowRunOptions options_;
};

// The options with which the frames of a show run (--frames, --clock), worded for the command.
void addShowFramesOptions(CLI::App& command, zrshow::ShowRunOptions& options, const std::string& framesHelp,
                          const std::string& clockHelp);
// The options that feed a show (--audio, --audio-in, --input, --osc-port, --seed), which serve shares.
void addShowFeedOptions(CLI::App& command, zrshow::ShowRunOptions& options);
// Throws InputError when the options give a show two sources of audio.
void checkAudioSources(const zrshow::ShowRunOptions& options);

} // namespace zrsignal
