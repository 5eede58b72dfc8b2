// Formula curves and catalogue examples for the studio, evaluated the way eval does.
#include "studio/StudioFormulas.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "zrhost/CatalogueKeywords.h"
#include "zrhost/FormulaCatalogue.h"
#include "zrhost/FormulaSession.h"
#include "zrhost/InputError.h"
#include "zrhost/LibraryFailure.h"

namespace zrsignal {

using zrhost::Json;
using zrhost::jsonNumber;
using zrhost::jsonNumbers;
using zrhost::failureJson;
using zrhost::catalogueRowJson;

using zrhost::InputError;

namespace {

// Where the formula pane's user defines variables and looks functions up.
const zrhost::HintWording& studioHints()
{
    static const zrhost::HintWording wording{
        "define {name} under Variables as {name}=VALUE or as a column of a CSV file",
        "define level under Variables as level=VALUE, as a column of a CSV file, or by choosing an audio file (the "
        "loudness of the sound)",
        "search the catalogue by name or by words of the description",
    };
    return wording;
}

// Runs `parsers` (compiled in `session`) over `frames` frames on the simulated clock, as eval
// does, and returns each one's values.
std::vector<std::vector<double>> runCompiled(zrhost::FormulaSession& session, const std::vector<ZrParser*>& parsers,
                                             double fps, std::uint64_t frames)
{
    std::vector<std::vector<double>> values(parsers.size());
    for (auto& list : values)
        list.reserve(static_cast<std::size_t>(frames));
    zrhost::FrameClock clock(zrhost::ClockMode::Simulated, fps);
    zrhost::runFrames(parsers, session.inputs(), clock, frames,
                      [&](std::uint64_t, std::size_t index, double value) { values[index].push_back(value); });
    return values;
}

// Why a request cannot be evaluated, or nothing.
std::optional<std::string> limitProblem(const FormulaRequest& request)
{
    if (request.formulas.empty())
        return "give a formula";
    if (request.formulas.size() > MAX_FORMULAS)
        return "at most " + std::to_string(MAX_FORMULAS) + " formulas are plotted together";
    for (std::size_t i = 0; i < request.formulas.size(); ++i) {
        if (request.formulas[i].size() > MAX_FORMULA_LENGTH)
            return "formula " + std::to_string(i + 1) + " is longer than " + std::to_string(MAX_FORMULA_LENGTH) +
                   " bytes";
    }
    if (request.frames && (*request.frames == 0 || *request.frames > MAX_FRAMES))
        return "the number of frames must be 1 to " + std::to_string(MAX_FRAMES);
    return std::nullopt;
}

// The names of the CSV file's columns: its first line.
std::set<std::string> csvColumns(const std::string& path)
{
    std::set<std::string> names;
    std::ifstream file(path);
    std::string header;
    std::getline(file, header);
    std::istringstream cells(header);
    for (std::string cell; std::getline(cells, cell, ',');) {
        const auto first = cell.find_first_not_of(" \t\r\"");
        const auto last = cell.find_last_not_of(" \t\r\"");
        if (first != std::string::npos)
            names.insert(cell.substr(first, last - first + 1));
    }
    return names;
}

// Adds a show's variables, constants and macros to `definitions`, but not the variables that
// the request's own inputs define already.
void addShowNames(zrhost::HostDefinitions& definitions, const ShowNames& show)
{
    std::set<std::string> taken;
    for (const zrhost::NamedNumber& variable : definitions.variables)
        taken.insert(variable.name);
    if (!definitions.inputPath.empty())
        taken.merge(csvColumns(definitions.inputPath));
    if (!definitions.audioPath.empty())
        taken.insert({"level", "bass", "mid", "high"});
    if (definitions.beatTracker)
        taken.insert({"bpm", "beat", "beatphase"});
    for (const zrhost::NamedNumber& variable : show.variables) {
        if (!taken.contains(variable.name))
            definitions.variables.push_back(variable);
    }
    definitions.constants.insert(definitions.constants.end(), show.constants.begin(), show.constants.end());
    definitions.macros.insert(definitions.macros.end(), show.macros.begin(), show.macros.end());
}

// The definitions of a request. Throws InputError naming the field.
zrhost::HostDefinitions definitionsOf(const FormulaRequest& request)
{
    if (!zrhost::isFrameRate(request.fps))
        throw InputError("fps: the frame rate must be a positive number");
    zrhost::HostDefinitions definitions;
    definitions.fps = request.fps;
    for (const std::string& line : request.variables) {
        try {
            definitions.variables.push_back(zrhost::parseNamedNumber(line));
        } catch (const InputError& error) {
            throw InputError(std::string("Variables: ") + error.what());
        }
    }
    definitions.inputPath = request.csvPath;
    definitions.audioPath = request.audioPath;
    definitions.beatTracker = request.beatTracker;
    if (request.show)
        addShowNames(definitions, *request.show);
    return definitions;
}

} // namespace

Json inputErrorJson(const std::string& message)
{
    return {{"inputError", message}};
}

Json evaluateFormulas(const FormulaRequest& request)
{
    if (const auto problem = limitProblem(request))
        return inputErrorJson(*problem);
    try {
        const zrhost::HostDefinitions definitions = definitionsOf(request);
        zrhost::FormulaSession session(definitions, request.formulas.size());
        if (request.seed)
            std::srand(*request.seed);
        std::vector<Json> errors(request.formulas.size());
        std::vector<ZrParser*> compiled;
        for (std::size_t i = 0; i < request.formulas.size(); ++i) {
            try {
                session.compile(i, request.formulas[i]);
                compiled.push_back(&session.parser(i));
            } catch (zrhost::LibraryFailure& failure) {
                // The names serve both the hints and the suggestions: gathering them describes
                // every item of the parser.
                const auto names = zrhost::FormulaNames::of(session.parser(i));
                zrhost::addFormulaHints(failure, names, studioHints());
                errors[i] = failureJson(failure, zrhost::suggestionsFor(zrhost::hintSubjectOf(failure), names));
            }
        }
        const std::uint64_t frames = request.frames.value_or(session.inputs().naturalFrameCount());
        if (frames > MAX_FRAMES)
            return inputErrorJson("the inputs last " + std::to_string(frames) + " frames; give at most " +
                                  std::to_string(MAX_FRAMES));
        const auto values = runCompiled(session, compiled, definitions.fps, frames);

        Json results = Json::array();
        std::size_t next = 0;
        for (std::size_t i = 0; i < request.formulas.size(); ++i) {
            Json result = {{"formula", request.formulas[i]}};
            if (errors[i].is_null())
                result["values"] = jsonNumbers(values[next++]);
            else
                result["error"] = std::move(errors[i]);
            results.push_back(std::move(result));
        }
        return {{"fps", jsonNumber(definitions.fps)}, {"frames", frames}, {"results", std::move(results)}};
    } catch (const InputError& error) {
        return inputErrorJson(error.what());
    } catch (const zrhost::LibraryFailure& failure) {
        return {{"definitionError", failureJson(failure, {})}};
    }
}

StudioCatalogue::StudioCatalogue()
{
    zrhost::HostDefinitions definitions;
    definitions.fps = EXAMPLE_FPS;
    for (zrhost::CatalogueRow& row : zrhost::formulaCatalogue()) {
        const std::string example = zrhost::exampleFormula(row);
        Json values = Json::array();
        try {
            zrhost::FormulaSession session(definitions, 1);
            session.compile(0, example);
            values = jsonNumbers(runCompiled(session, {&session.parser(0)}, definitions.fps, EXAMPLE_FRAMES).front());
        } catch (const zrhost::LibraryFailure&) {
            // The row is still listed, without a curve; a test keeps every example compiling.
        }
        Json json = catalogueRowJson(row, true);
        json["from"] = zrhost::originText(row);
        json["example"] = example;
        json["keywords"] = std::string(zrhost::catalogueKeywords(row.symbol));
        json["values"] = std::move(values);
        entries_.push_back({std::move(row), std::move(json)});
    }
}

Json StudioCatalogue::json(std::string_view pattern) const
{
    // The rows found, the best first; rows found as well keep the catalogue's order.
    std::vector<std::pair<int, const Entry*>> found;
    for (const Entry& entry : entries_) {
        if (const auto rank = zrhost::matchRank(entry.row, pattern))
            found.emplace_back(*rank, &entry);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    Json rows = Json::array();
    for (const auto& [rank, entry] : found)
        rows.push_back(entry->json);
    return {{"frames", EXAMPLE_FRAMES}, {"fps", jsonNumber(EXAMPLE_FPS)}, {"rows", std::move(rows)}};
}

} // namespace zrsignal
