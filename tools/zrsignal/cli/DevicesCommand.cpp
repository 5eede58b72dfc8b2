// devices: the listing is done in the show commands' module, which has PortAudio (see AudioDevices).
#include "cli/DevicesCommand.h"

#include "cli/ShowCommandsModule.h"

namespace zrsignal {

DevicesCommand::DevicesCommand(CLI::App& parent)
    : Command(parent, "devices",
              "List the audio input devices (number, name, host API, channels, sample rate) for run and serve "
              "--audio-in")
{
}

int DevicesCommand::run()
{
    return loadShowCommands().listAudioDevices();
}

} // namespace zrsignal
