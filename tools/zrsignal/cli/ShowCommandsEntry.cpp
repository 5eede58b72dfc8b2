// The one function the show commands' module exports: its entry points, for the program.
#include "cli/AudioDevices.h"
#include "cli/FixtureListing.h"
#include "cli/RunShow.h"
#include "cli/ShowCommandsModule.h"
#include "studio/ServeStudio.h"
#include "zrparser/ZrExport.h"

extern "C" ZR_API const zrsignal::ShowCommandsModule* zrsignalShowCommands()
{
    static const zrsignal::ShowCommandsModule entries{&zrsignal::runShow, &zrsignal::serveStudio,
                                                      &zrsignal::listAudioDevices, &zrsignal::listFixtures};
    return &entries;
}
