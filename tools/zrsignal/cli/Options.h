// The options several commands share, each registered by one function, and their checked values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/ValueWriters.h"
#include "zrhost/FrameClock.h"
#include "zrhost/HostDefinitions.h"

namespace CLI {
class App;
}

namespace zrsignal {

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

    // The definitions these options give. Throws InputError naming the option and its argument.
    zrhost::HostDefinitions definitions() const;

    // Whether to add hints to a refused formula: asked for, or stderr is a terminal.
    bool wantsHints() const;
};

// Definition options plus how the frames run and what is written.
struct RunOptions {
    DefinitionOptions definitions;
    std::optional<std::uint64_t> frames;
    std::optional<unsigned> seed;
    zrhost::ClockMode clock = zrhost::ClockMode::Simulated;
    OutputFormat format = OutputFormat::Lines;
};

// One registration per option; the targets must outlive the parse.
void addFramesOption(CLI::App& command, std::optional<std::uint64_t>& frames, const std::string& help);
void addSeedOption(CLI::App& command, std::optional<unsigned>& seed);
// `clock` keeps its value when the option is not given; a `shownDefault` ("sim") is shown in the
// help, where `help` does not say it.
void addClockOption(CLI::App& command, zrhost::ClockMode& clock, const std::string& help,
                    const std::string& shownDefault = {});
void addInputOption(CLI::App& command, std::string& path);
void addAudioOption(CLI::App& command, std::string& path);

// The options that shape the parser (--fps, --var, --const, --macro, --input, --audio, ...).
void addDefinitionOptions(CLI::App& command, DefinitionOptions& options);
// The definition options, --frames, --seed and --clock of eval and plot.
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
