// fixtures: the listing is done in the show commands' module, which reads the profiles (see
// FixtureListing).
#include "cli/FixturesCommand.h"

#include <CLI/CLI.hpp>

#include "cli/ShowCommandsModule.h"

namespace zrsignal {

FixturesCommand::FixturesCommand(CLI::App& parent)
    : Command(parent, "fixtures",
              "List the fixture profiles a show's [[fixture]] can name (profile = \"Maker/Model\"), or the "
              "channels of one in each of its modes")
{
}

void FixturesCommand::addOptions()
{
    app().add_option("PATTERN", pattern_,
                     "Makers and models that contain PATTERN (without case), with their modes; a whole "
                     "\"Maker/Model\" or a .qxf file: its channels, mode by mode");
}

int FixturesCommand::run()
{
    return loadShowCommands().listFixtures(pattern_);
}

} // namespace zrsignal
