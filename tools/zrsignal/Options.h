// The command-line options shared by eval, check and plot, and their checked values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FrameClock.h"

namespace CLI {
class App;
}

namespace zrsignal {

// A NAME=VALUE option whose value is a number.
struct NamedNumber {
    std::string name;
    double value = 0.0;
    std::string text; // the option's argument as written, for error reports
};

// A --macro 'PROTOTYPE=BODY' option.
struct MacroText {
    std::string prototype;
    std::string body;
    std::string text;
};

enum class OutputFormat { Lines, Csv, Json };

// Whether a refused formula is followed by hints: by default only for a person reading a
// terminal, so that scripts and logs keep the catalogued lines alone.
enum class HintMode { WhenTerminal, Always, Never };

// What the definition options ask for: everything that shapes the parser before compiling.
struct DefinitionOptions {
    double fps = 40.0;
    std::vector<std::string> varTexts;
    std::vector<std::string> constTexts;
    std::vector<std::string> macroTexts;
    std::string inputPath;
    std::string audioPath;
    bool useLocale = false;
    std::vector<std::string> plugins;     // module files, class ids or ProgIDs
    std::string pluginDir;                // loads every plug-in its info files describe
    std::string pluginPattern = "*.xml";
    HintMode hints = HintMode::WhenTerminal;

    // Checked values, filled by finish().
    std::vector<NamedNumber> vars;
    std::vector<NamedNumber> consts;
    std::vector<MacroText> macros;

    // Splits and checks the NAME=VALUE and PROTOTYPE=BODY texts and the frame rate.
    // Throws InputError naming the option and its argument.
    void finish();

    // Whether to add hints to a refused formula: asked for, or stderr is a terminal.
    bool wantsHints() const;
};

// Definition options plus how the frames run.
struct RunOptions {
    DefinitionOptions definitions;
    std::optional<std::uint64_t> frames;
    std::optional<unsigned> seed;
    ClockMode clock = ClockMode::Simulated;
    std::string clockText = "sim";
    OutputFormat format = OutputFormat::Lines;
    std::string formatText = "lines";

    void finish();
};

// Registers the options on a subcommand; the structures must outlive the parse.
void addDefinitionOptions(CLI::App& command, DefinitionOptions& options);
void addRunOptions(CLI::App& command, RunOptions& options);
void addFormatOption(CLI::App& command, RunOptions& options);

// Expressions often begin with '-' ("-x*2", "--2"), which the option parser would take for an
// option. `args` are the arguments after the name of `command` (eval, check or plot). When no
// other argument is the expression, the one argument that begins with '-' and is neither an
// option of the command nor an option's value is taken as the expression: it moves behind "--".
// Returns what to tell the user when several such arguments leave the expression unknown, or an
// empty text.
std::string placeExpressionThatLooksLikeAnOption(const CLI::App& command, std::vector<std::string>& args);

} // namespace zrsignal
