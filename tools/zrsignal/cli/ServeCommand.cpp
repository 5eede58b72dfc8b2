// serve: its options; the studio itself runs in the show commands' module (see ServeStudio).
#include "cli/ServeCommand.h"

#include <CLI/CLI.hpp>

#include "cli/RunCommand.h"
#include "tempo/BeatTrackingModule.h"

namespace zrsignal {

ServeCommand::ServeCommand(CLI::App& parent)
    : Command(parent, "serve",
              "Serve the formula studio: a web page to write formulas, see their curves, look functions up and "
              "watch a show")
{
    options_.show.sourceName = "zrsignal";
}

void ServeCommand::addOptions()
{
    app().add_option("SHOW", options_.show.showPath, "A show file: the page shows its fixtures, live")
        ->type_name("SHOW.toml");
    app().add_option("--port", options_.port, "TCP port of the page (0: any free port)")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str()
        ->type_name("P");
    app().add_option("--listen", options_.listen,
                     "The address to serve on: 127.0.0.1 (default) keeps the page to this machine; on another, "
                     "only browsers that open the printed address, with its token, get in")
        ->type_name("ADDRESS");
    app().add_flag("--outputs", options_.sendOutputs,
                   "Send the show's frames to its outputs too (sACN, Art-Net, olad), as zrsignal run does");
    addShowFramesOptions(app(), options_.show, "Run the show for N frames, then hold the last (default: until stopped)",
                         "real (default): timers read the steady clock; sim: they read each frame's time, so the "
                         "frames are those of run --clock sim (still paced at fps)");
    addShowFeedOptions(app(), options_.show);
}

int ServeCommand::run()
{
    checkAudioSources(options_.show);
    // The formula pane hears uploaded audio files too.
    options_.show.inputs.beatTracker = loadBeatTracking();
    return loadShowCommands().serveStudio(options_);
}

} // namespace zrsignal
