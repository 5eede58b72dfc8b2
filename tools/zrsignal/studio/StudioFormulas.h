// The studio's formula pane and catalogue pane: formulas evaluated as `zrsignal eval` does, and
// the catalogue with an example curve for each row, both answered as JSON for the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zrhost/AudioAnalysis.h"
#include "zrhost/CatalogueRows.h"
#include "zrhost/FormulaJson.h"
#include "zrhost/HostDefinitions.h"

namespace zrsignal {

// Limits on what one request may ask, so a page (or anything else that reaches the server)
// cannot make it compute or answer without end.
inline constexpr std::size_t MAX_FORMULAS = 8;
inline constexpr std::size_t MAX_FORMULA_LENGTH = 4096; // bytes of UTF-8
inline constexpr std::uint64_t MAX_FRAMES = 20000;

// The names a served show gives its formulas: its host variables with their values at one
// frame, its constants and its macros, so that a channel's formula can be tried in the pane.
struct ShowNames {
    std::vector<zrhost::NamedNumber> variables;
    std::vector<zrhost::NamedNumber> constants;
    std::vector<zrhost::MacroText> macros;
};

// What the formula pane sends: the inputs of `eval` (variables, a CSV file, an audio file).
struct FormulaRequest {
    std::vector<std::string> formulas;
    std::optional<std::uint64_t> frames; // none: the rows of the CSV, else the audio's frames, else 1
    double fps = 40.0;
    std::vector<std::string> variables;  // lines NAME=VALUE
    std::string csvPath;
    std::string audioPath;
    zrhost::BeatTrackerFactory beatTracker = nullptr; // finds the beats of the audio file
    std::optional<unsigned> seed;
    // With a show: its names too. A variable the request defines itself (a line of variables, a
    // CSV column, the audio's level) stands in place of the show's.
    const ShowNames* show = nullptr;
};

// Checks the limits and evaluates every formula over the same frames, each in its own parser
// bound to the same inputs, with the simulated clock: the values `zrsignal eval` prints for each.
// Answers {"fps":F,"frames":N,"results":[{"formula":..,"values":[..]} or {"formula":..,"error":{..}}]}
// where an error carries the caret and the hints; or {"inputError":"..."} when the inputs cannot
// be used, or {"definitionError":{..}} when the library refuses a variable.
zrhost::Json evaluateFormulas(const FormulaRequest& request);

// {"inputError":"..."}: what the page shows when a request cannot be used.
zrhost::Json inputErrorJson(const std::string& message);

// The formula catalogue, each row with an example formula and its values over a few seconds.
class StudioCatalogue {
public:
    static constexpr std::uint64_t EXAMPLE_FRAMES = 120;
    static constexpr double EXAMPLE_FPS = 40.0;

    // Evaluates every example once.
    StudioCatalogue();

    // {"frames":N,"fps":F,"rows":[{row..., "from":"signal plug-in","example":"...","values":[...]}]}
    // for the rows a search for `pattern` finds, the best first (see matchRank).
    zrhost::Json json(std::string_view pattern) const;

private:
    struct Entry {
        zrhost::CatalogueRow row;
        zrhost::Json json; // the row's object, example and values included
    };
    std::vector<Entry> entries_;
};

} // namespace zrsignal
