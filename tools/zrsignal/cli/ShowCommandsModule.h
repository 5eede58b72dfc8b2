// run, serve, devices and fixtures live in a module of their own, ShowCommands.so, that the
// program loads only when one of them runs: the formula commands start without the show
// runtime's libraries (libola with protobuf, liblo, toml++, PortAudio, libxml2) and the
// studio's (cpp-httplib with OpenSSL).
#pragma once

#include <string>

#include "zrshow/ShowRunOptions.h"

namespace zrsignal {

struct ServeOptions {
    std::string listen = "127.0.0.1";
    int port = 8040;          // 0: any free port
    bool sendOutputs = false; // the show's frames go to its outputs too
    zrshow::ShowRunOptions show; // showPath empty: no show pane
};

// What the module offers. Each returns the exit status or throws like any command.
struct ShowCommandsModule {
    // Runs the show and writes the summary to stderr: 0 when the show ran (errors while running
    // are counted, not fatal), 1 when the show file is refused, with every problem on stderr.
    int (*runShow)(const zrshow::ShowRunOptions& options);
    // Serves the studio until SIGINT or SIGTERM; prints the page's address on stdout once it
    // listens. 1 when the show file is refused.
    int (*serveStudio)(ServeOptions& options);
    // Lists the audio input devices on stdout, one a line: 0, or 1 when there is none.
    int (*listAudioDevices)();
    // Lists fixture profiles on stdout, or one profile's channels: 0, or 1 when the fixture
    // library is missing, nothing matches or the profile cannot be read (said on stderr).
    int (*listFixtures)(const std::string& pattern);
};

// The module's one exported function, which returns its entry points.
inline constexpr const char* SHOW_COMMANDS_ENTRY = "zrsignalShowCommands";

// Loads the module from its place relative to this program, in the build tree as when
// installed; it stays loaded. Throws InputError when it cannot be loaded.
const ShowCommandsModule& loadShowCommands();

} // namespace zrsignal
