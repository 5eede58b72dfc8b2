// The list of commands.
#include "cli/AllCommands.h"

#include "cli/CheckCommand.h"
#include "cli/DevicesCommand.h"
#include "cli/EvalCommand.h"
#include "cli/FixturesCommand.h"
#include "cli/HelpCommand.h"
#include "cli/ListCommand.h"
#include "cli/PlotCommand.h"
#include "cli/RunCommand.h"
#include "cli/ServeCommand.h"

namespace zrsignal {

std::vector<std::unique_ptr<Command>> addAllCommands(CLI::App& app)
{
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<EvalCommand>(app));
    commands.push_back(std::make_unique<CheckCommand>(app));
    commands.push_back(std::make_unique<ListCommand>(app));
    commands.push_back(std::make_unique<HelpCommand>(app));
    commands.push_back(std::make_unique<PlotCommand>(app));
    commands.push_back(std::make_unique<RunCommand>(app));
    commands.push_back(std::make_unique<ServeCommand>(app));
    commands.push_back(std::make_unique<DevicesCommand>(app));
    commands.push_back(std::make_unique<FixturesCommand>(app));
    return commands;
}

} // namespace zrsignal
