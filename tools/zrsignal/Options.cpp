// Registration of the shared options on CLI11 subcommands and the checks CLI11 cannot make.
#include "Options.h"

#include <cmath>

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "InputError.h"
#include "NumberText.h"

namespace zrsignal {

namespace {

NamedNumber parseNamedNumber(const std::string& option, const std::string& text)
{
    const auto equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        throw InputError(option + " '" + text + "': expected NAME=VALUE");
    const auto value = parseNumber(text.substr(equals + 1));
    if (!value)
        throw InputError(option + " '" + text + "': the value is not a number");
    return {text.substr(0, equals), *value, text};
}

// CLI11 converts "-3" to an unsigned number by wrapping it around.
const CLI::Validator notNegative(
    [](std::string& text) { return text.starts_with('-') ? std::string("must not be negative") : std::string(); }, "");

MacroText parseMacro(const std::string& text)
{
    // A prototype holds no "=", so the first one ends it; the body may contain more (">=").
    const auto equals = text.find('=');
    if (equals == std::string::npos)
        throw InputError("--macro '" + text + "': expected PROTOTYPE=BODY");
    return {text.substr(0, equals), text.substr(equals + 1), text};
}

} // namespace

void DefinitionOptions::finish()
{
    if (!std::isfinite(fps) || fps <= 0.0)
        throw InputError("--fps " + formatNumber(fps) + ": the frame rate must be a positive number");
    vars.clear();
    consts.clear();
    macros.clear();
    for (const std::string& text : varTexts)
        vars.push_back(parseNamedNumber("--var", text));
    for (const std::string& text : constTexts)
        consts.push_back(parseNamedNumber("--const", text));
    for (const std::string& text : macroTexts)
        macros.push_back(parseMacro(text));
}

bool DefinitionOptions::wantsHints() const
{
    return hints == HintMode::Always || (hints == HintMode::WhenTerminal && isatty(STDERR_FILENO) == 1);
}

void RunOptions::finish()
{
    definitions.finish();
    clock = clockText == "real" ? ClockMode::Real : ClockMode::Simulated;
    format = formatText == "csv" ? OutputFormat::Csv : formatText == "json" ? OutputFormat::Json : OutputFormat::Lines;
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
    command.add_option("--input", options.inputPath,
                       "CSV file: first row names variables, each further row gives their values for one frame")
        ->type_name("FILE.csv");
    command.add_option("--audio", options.audioPath, "Audio file: defines the variable level, the loudness of each frame")
        ->type_name("FILE");
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
    command
        .add_option_function<std::uint64_t>(
            "--frames", [&options](const std::uint64_t& n) { options.frames = n; },
            "Number of frames (default: the rows of --input, else the length of --audio, else 1)")
        ->check(notNegative)
        ->type_name("N");
    command
        .add_option_function<unsigned>(
            "--seed", [&options](const unsigned& s) { options.seed = s; },
            "Seed the random generator before compiling")
        ->check(notNegative)
        ->type_name("S");
    command.add_option("--clock", options.clockText, "sim: timers read the frame time; real: the steady clock, paced at fps")
        ->check(CLI::IsMember({"sim", "real"}))
        ->default_val("sim");
}

void addFormatOption(CLI::App& command, RunOptions& options)
{
    command.add_option("--format", options.formatText, "Output: one value per line, CSV or JSON")
        ->check(CLI::IsMember({"lines", "csv", "json"}))
        ->default_val("lines");
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
