// Loading the show commands' module, once, on the first command that needs it.
#include "cli/ShowCommandsModule.h"

#include "zrcomponent/ZrComponentModule.h"
#include "zrhost/LoadedModule.h"

namespace zrsignal {

const ShowCommandsModule& loadShowCommands()
{
    static const zrhost::LoadedModule module(
        (zr::executablePath().parent_path() / ZRSIGNAL_SHOW_COMMANDS_FROM_PROGRAM).lexically_normal(),
        "the show commands' module");
    return module.entries<ShowCommandsModule>(SHOW_COMMANDS_ENTRY);
}

} // namespace zrsignal
