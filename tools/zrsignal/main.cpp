// zrsignal: command-line host of the formula library and its signal plug-in. main() parses the
// command line and hands over to the command chosen (cli/).
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/AllCommands.h"
#include "cli/Options.h"
#include "zrhost/InputError.h"
#include "zrhost/LibraryFailure.h"
#include "zrmachinecode/ZrMachineCode.h"

using namespace zrsignal;

namespace {

constexpr int EXIT_USAGE_OR_INPUT = 1;
constexpr int EXIT_LIBRARY_FAILURE = 2;

constexpr const char* DASH_EXPRESSION_HELP =
    "An EXPR that begins with '-' may be written as it is when it is no option and no other argument is\n"
    "the expression (zrsignal eval '-x*2'); else write it after '--' (zrsignal eval --frames 4 -- '-x').";

// Runs the chosen command; its errors become the exit status.
int runCommand(Command& command)
{
    try {
        return command.run();
    } catch (const zrhost::InputError& e) {
        std::cout.flush();
        std::cerr << "zrsignal: " << e.what() << '\n';
        return EXIT_USAGE_OR_INPUT;
    } catch (const zrhost::LibraryFailure& failure) {
        failure.print(std::cerr);
        return EXIT_LIBRARY_FAILURE;
    }
}

} // namespace

int main(int argc, char** argv)
{
    // Formulas run as machine code where the processor allows (ZR_JIT=0 interprets them).
    zr::useMachineCode();
    CLI::App app{"Compiles a lighting formula once and evaluates it frame after frame."};
    app.name("zrsignal");
    app.require_subcommand(1);
    const auto commands = addAllCommands(app);
    std::vector<std::string> args(argv + 1, argv + argc);

    // The options of the command named, or of every command when none is.
    const bool named = !args.empty() && std::any_of(commands.begin(), commands.end(), [&](const auto& command) {
        return command->app().get_name() == args[0];
    });
    for (const auto& command : commands) {
        if (!named || command->app().get_name() == args[0])
            command->addOptions();
    }

    // An expression that begins with '-' goes where the option parser reads it as the expression.
    for (const auto& command : commands) {
        if (!command->takesExpression())
            continue;
        command->app().footer(DASH_EXPRESSION_HELP);
        if (args.size() < 2 || args[0] != command->app().get_name())
            continue;
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (const std::string problem = placeExpressionThatLooksLikeAnOption(command->app(), rest); !problem.empty()) {
            std::cerr << problem << '\n';
            return EXIT_USAGE_OR_INPUT;
        }
        args.resize(1);
        args.insert(args.end(), rest.begin(), rest.end());
    }
    std::vector<const char*> arguments{argv[0]};
    for (const std::string& arg : args)
        arguments.push_back(arg.c_str());

    try {
        app.parse(static_cast<int>(arguments.size()), arguments.data());
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : EXIT_USAGE_OR_INPUT;
    }
    for (const auto& command : commands) {
        if (command->app())
            return runCommand(*command);
    }
    return EXIT_USAGE_OR_INPUT;
}
