// zrsignal: command-line host of the formula library and its signal plug-in.
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "CatalogueListing.h"
#include "Commands.h"
#include "ErrorReport.h"
#include "HelpCommand.h"
#include "InputError.h"
#include "zrmachinecode/ZrMachineCode.h"
#include "RunCommand.h"
#include "ServeCommand.h"

using namespace zrsignal;

namespace {

constexpr int EXIT_USAGE_OR_INPUT = 1;
constexpr int EXIT_LIBRARY_FAILURE = 2;

constexpr const char* DASH_EXPRESSION_HELP =
    "An EXPR that begins with '-' may be written as it is when it is no option and no other argument is\n"
    "the expression (zrsignal eval '-x*2'); else write it after '--' (zrsignal eval --frames 4 -- '-x').";

} // namespace

int main(int argc, char** argv)
{
    // Formulas run as machine code where the processor allows (ZR_JIT=0 interprets them).
    zr::useMachineCode();
    CLI::App app{"Compiles a lighting formula once and evaluates it frame after frame."};
    app.name("zrsignal");
    app.require_subcommand(1);

    RunOptions evalOptions;
    std::string evalExpression;
    CLI::App* eval = app.add_subcommand("eval", "Evaluate EXPR frame after frame, one value per frame on stdout");
    addRunOptions(*eval, evalOptions);
    addFormatOption(*eval, evalOptions);
    eval->add_option("EXPR", evalExpression, "The formula")->required();
    eval->footer(DASH_EXPRESSION_HELP);

    DefinitionOptions checkOptions;
    std::string checkExpression;
    CLI::App* check = app.add_subcommand("check", "Compile EXPR only: print 'constant VALUE' or 'ok'");
    addDefinitionOptions(*check, checkOptions);
    check->add_option("EXPR", checkExpression, "The formula")->required();
    check->footer(DASH_EXPRESSION_HELP);

    bool listJson = false;
    bool listAll = false;
    std::string listPattern;
    CLI::App* list = app.add_subcommand("list", "List the plug-in's functions in catalogue order");
    list->add_flag("--json", listJson, "A JSON array of objects instead of tab-separated rows");
    list->add_flag("--all", listAll, "Add the default parser's operators and functions");
    list->add_option("PATTERN", listPattern,
                     "Only the rows whose name contains PATTERN or whose description has all its words");

    std::string helpName;
    CLI::App* help = app.add_subcommand("help", "Describe every overload of a function or operator");
    help->add_option("NAME", helpName, "The function or operator, e.g. counter")->required();

    RunOptions plotOptions;
    std::vector<std::string> plotExpressions;
    std::string plotExpression;
    std::string plotOutput;
    std::string plotTitle;
    CLI::App* plot = app.add_subcommand("plot", "Evaluate like eval and draw the values over time as an SVG chart");
    addRunOptions(*plot, plotOptions);
    plot->add_option("--output,-o", plotOutput, "The SVG file to write")->required()->type_name("FILE.svg");
    plot->add_option("--expr", plotExpressions, "A further curve (repeatable)")->type_name("EXPR")->allow_extra_args(false);
    plot->add_option("--title", plotTitle, "Chart title (default: the expressions)");
    plot->add_option("EXPR", plotExpression, "The formula");
    plot->footer(DASH_EXPRESSION_HELP);

    ShowRunOptions runOptions;
    CLI::App* run = app.add_subcommand("run", "Run a show file: fixtures' formulas sent as DMX over sACN, Art-Net or olad");
    addShowRunOptions(*run, runOptions);

    ServeOptions serveOptions;
    CLI::App* serve = app.add_subcommand("serve", "Serve the formula studio: a web page to write formulas, see their "
                                                  "curves, look functions up and watch a show");
    addServeOptions(*serve, serveOptions);

    // An expression that begins with '-' goes where the option parser reads it as the expression.
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const CLI::App* command : {eval, check, plot}) {
        if (args.size() < 2 || args[0] != command->get_name())
            continue;
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (const std::string problem = placeExpressionThatLooksLikeAnOption(*command, rest); !problem.empty()) {
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

    try {
        if (*eval)
            return runEval(evalOptions, evalExpression);
        if (*check)
            return runCheck(checkOptions, checkExpression);
        if (*run)
            return runShow(runOptions);
        if (*list) {
            listCatalogue(std::cout, listJson, listAll, listPattern);
            return 0;
        }
        if (*help)
            return printHelp(std::cout, std::cerr, helpName);
        if (*serve)
            return runServe(serveOptions);
        if (!plotExpression.empty())
            plotExpressions.insert(plotExpressions.begin(), plotExpression);
        return runPlot(plotOptions, plotExpressions, plotOutput, plotTitle);
    } catch (const InputError& e) {
        std::cout.flush();
        std::cerr << "zrsignal: " << e.what() << '\n';
        return EXIT_USAGE_OR_INPUT;
    } catch (const LibraryFailure& failure) {
        failure.print(std::cerr);
        return EXIT_LIBRARY_FAILURE;
    }
}
