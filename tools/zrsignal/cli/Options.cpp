// Registration of the shared options on CLI11 subcommands and the checks CLI11 cannot make.
#include "cli/Options.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "tempo/BeatTrackingModule.h"
#include "zrhost/InputError.h"
#include "zrhost/NumberText.h"

namespace zrsignal {

using zrhost::InputError;

namespace {

// CLI11 converts "-3" to an unsigned number by wrapping it around.
const CLI::Validator notNegative(
    [](std::string& text) { return text.starts_with('-') ? std::string("must not be negative") : std::string(); }, "");

// Reads each text with `parse`; its error gets the option's name in front.
template <class Parse>
auto parsedAll(const std::string& option, const std::vector<std::string>& texts, Parse parse)
{
    std::vector<decltype(parse(std::string()))> values;
    for (const std::string& text : texts) {
        try {
            values.push_back(parse(text));
        } catch (const InputError& error) {
            throw InputError(option + " " + error.what());
        }
    }
    return values;
}

} // namespace

zrhost::HostDefinitions DefinitionOptions::definitions() const
{
    if (!zrhost::isFrameRate(fps))
        throw InputError("--fps " + zrhost::formatNumber(fps) + ": the frame rate must be a positive number");
    zrhost::HostDefinitions result;
    result.fps = fps;
    result.variables = parsedAll("--var", varTexts, zrhost::parseNamedNumber);
    result.constants = parsedAll("--const", constTexts, zrhost::parseNamedNumber);
    result.macros = parsedAll("--macro", macroTexts, zrhost::parseMacroText);
    result.inputPath = inputPath;
    result.audioPath = audioPath;
    if (!audioPath.empty())
        result.beatTracker = loadBeatTracking();
    result.useLocale = useLocale;
    result.plugins = plugins;
    result.pluginDir = pluginDir;
    result.pluginPattern = pluginPattern;
    return result;
}

bool DefinitionOptions::wantsHints() const
{
    return hints == HintMode::Always || (hints == HintMode::WhenTerminal && isatty(STDERR_FILENO) == 1);
}

void addFramesOption(CLI::App& command, std::optional<std::uint64_t>& frames, const std::string& help)
{
    command.add_option_function<std::uint64_t>("--frames", [&frames](const std::uint64_t& n) { frames = n; }, help)
        ->check(notNegative)
        ->type_name("N");
}

void addSeedOption(CLI::App& command, std::optional<unsigned>& seed)
{
    command
        .add_option_function<unsigned>(
            "--seed", [&seed](const unsigned& s) { seed = s; }, "Seed the random generator before compiling")
        ->check(notNegative)
        ->type_name("S");
}

void addClockOption(CLI::App& command, zrhost::ClockMode& clock, const std::string& help, const std::string& shownDefault)
{
    CLI::Option* option = command.add_option_function<std::string>(
        "--clock",
        [&clock](const std::string& name) { clock = name == "real" ? zrhost::ClockMode::Real : zrhost::ClockMode::Simulated; },
        help);
    option->check(CLI::IsMember({"sim", "real"}));
    if (!shownDefault.empty())
        option->default_str(shownDefault);
}

void addInputOption(CLI::App& command, std::string& path)
{
    command.add_option("--input", path, "CSV file: first row names variables, each further row gives their values for one frame")
        ->type_name("FILE.csv");
}

void addAudioOption(CLI::App& command, std::string& path)
{
    command.add_option("--audio", path, "Audio file: defines the variable level, the loudness of each frame")
        ->type_name("FILE");
}

void addDefinitionOptions(CLI::App& command, DefinitionOptions& options)
{
    command.add_option("--fps", options.fps, "Frames per second: the time step of __timeInc() and of the clock")
        ->default_val(40.0)
        ->type_name("F");
    command.add_option("--var", options.varTexts, "Host variable with a fixed value (repeatable)")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false);
    command.add_option("--const", options.constTexts, "Constant defined before compiling (repeatable)")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false);
    command.add_option("--macro", options.macroTexts, "Macro defined before compiling, e.g. 'avg(a, b)=(a+b)/2' (repeatable)")
        ->type_name("PROTOTYPE=BODY")
        ->allow_extra_args(false);
    addInputOption(command, options.inputPath);
    addAudioOption(command, options.audioPath);
    command.add_flag("--locale", options.useLocale, "Take the decimal point from the user's locale");
    command.add_option("--plugin", options.plugins,
                       "Plug-in to load: a module file, or a registered class id or ProgID (repeatable)");
    command.add_option("--plugin-dir", options.pluginDir, "Load every plug-in described by the info files of a directory tree");
    command.add_option("--pattern", options.pluginPattern, "Info-file name pattern of --plugin-dir")
        ->capture_default_str();
    command.add_flag_function(
        "--hints,!--no-hints",
        [&options](std::int64_t count) { options.hints = count > 0 ? HintMode::Always : HintMode::Never; },
        "After a refused formula: similar names, how to define a variable, a function's argument lists "
        "(default: when stderr is a terminal)");
}

void addRunOptions(CLI::App& command, RunOptions& options)
{
    addDefinitionOptions(command, options.definitions);
    addFramesOption(command, options.frames,
                    "Number of frames (default: the rows of --input, else the length of --audio, else 1)");
    addSeedOption(command, options.seed);
    addClockOption(command, options.clock, "sim: timers read the frame time; real: the steady clock, paced at fps", "sim");
}

void addFormatOption(CLI::App& command, RunOptions& options)
{
    command
        .add_option_function<std::string>(
            "--format",
            [&options](const std::string& name) {
                options.format = name == "csv" ? OutputFormat::Csv : name == "json" ? OutputFormat::Json : OutputFormat::Lines;
            },
            "Output: one value per line, CSV or JSON")
        ->check(CLI::IsMember({"lines", "csv", "json"}))
        ->default_str("lines");
}

std::string placeExpressionThatLooksLikeAnOption(const CLI::App& command, std::vector<std::string>& args)
{
    std::vector<std::size_t> candidates;
    bool positional = false;
    bool valueNext = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            positional = positional || i + 1 < args.size();
            break;
        }
        if (valueNext) {
            valueNext = false;
        } else if (arg.size() < 2 || arg[0] != '-') {
            positional = true;
        } else if (const CLI::Option* option = command.get_option_no_throw(arg)) {
            valueNext = option->get_items_expected_max() > 0;
        } else if (command.get_option_no_throw(arg.substr(0, arg.find('='))) == nullptr &&
                   (arg[1] == '-' || command.get_option_no_throw(arg.substr(0, 2)) == nullptr)) {
            candidates.push_back(i); // neither "--name=value" nor "-nvalue" of one of its options
        }
    }
    if (positional || candidates.empty())
        return {};
    const std::string expression = args[candidates[0]];
    if (candidates.size() > 1)
        return "zrsignal " + command.get_name() + ": '" + expression + "' is not an option; to evaluate an " +
               "expression that begins with '-', write it after '--': zrsignal " + command.get_name() + " -- '" +
               expression + "'";
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(candidates[0]));
    if (args.empty() || args.back() != "--")
        args.push_back("--");
    args.push_back(expression);
    return {};
}

} // namespace zrsignal
