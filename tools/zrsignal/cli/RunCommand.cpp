// run: its options; the show itself runs in the show commands' module (see RunShow).
#include "cli/RunCommand.h"

#include <cstdio>

#include <CLI/CLI.hpp>

#include "cli/Options.h"
#include "cli/ShowCommandsModule.h"
#include "tempo/BeatTrackingModule.h"
#include "zrhost/InputError.h"

namespace zrsignal {

void addShowFramesOptions(CLI::App& command, zrshow::ShowRunOptions& options, const std::string& framesHelp,
                          const std::string& clockHelp)
{
    addFramesOption(command, options.frames, framesHelp);
    addClockOption(command, options.clock, clockHelp);
    command.add_option("--threads", options.threads, "Threads that evaluate each frame (default: one for every 4,096 channels, up to one per core)")
        ->check(CLI::Range(1u, 1024u))
        ->type_name("N");
}

void addShowFeedOptions(CLI::App& command, zrshow::ShowRunOptions& options)
{
    addAudioOption(command, options.inputs.audioPath);
    command
        .add_option_function<std::string>(
            "--audio-in", [&options](const std::string& device) { options.audioInput = device; },
            "Audio from a sound card: the default input, or DEVICE (a number or name that zrsignal devices "
            "lists); defines level, bass, mid, high and the tempo's variables, as --audio does")
        ->expected(0, 1)
        ->type_name("[DEVICE]");
    addInputOption(command, options.inputs.inputPath);
    command
        .add_option_function<unsigned>(
            "--osc-port", [&options](const unsigned& port) { options.oscPort = static_cast<std::uint16_t>(port); },
            "Receive OSC on this UDP port: /zr/var/NAME f, /zr/formula/FIXTURE/INDEX/CHANNEL s")
        ->check(CLI::Range(1, 65535))
        ->type_name("P");
    addSeedOption(command, options.seed);
}

RunCommand::RunCommand(CLI::App& parent)
    : Command(parent, "run", "Run a show file: fixtures' formulas sent as DMX over sACN, Art-Net or olad")
{
    options_.sourceName = "zrsignal";
}

void RunCommand::addOptions()
{
    app().add_option("SHOW", options_.showPath, "The show file")->required()->type_name("SHOW.toml");
    addShowFramesOptions(app(), options_, "Number of frames (default: until interrupted)",
                         "real (default): frames paced at fps; sim: as fast as possible, timers read the frame time");
    app()
        .add_option_function<std::string>(
            "--print", [this](const std::string&) { options_.slotRows = stdout; },
            "csv: write the slot values as CSV rows to stdout instead of sending them")
        ->check(CLI::IsMember({"csv"}));
    addShowFeedOptions(app(), options_);
}

void checkAudioSources(const zrshow::ShowRunOptions& options)
{
    if (!options.inputs.audioPath.empty() && options.audioInput)
        throw zrhost::InputError("--audio and --audio-in cannot be given together: a show hears either an audio file "
                                 "or a sound card");
}

int RunCommand::run()
{
    checkAudioSources(options_);
    if (!options_.inputs.audioPath.empty() || options_.audioInput)
        options_.inputs.beatTracker = loadBeatTracking();
    return loadShowCommands().runShow(options_);
}

} // namespace zrsignal
