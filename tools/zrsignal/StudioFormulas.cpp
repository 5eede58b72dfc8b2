// Formula curves and catalogue examples for the studio, evaluated the way eval does.
#include "StudioFormulas.h"

#include <algorithm>
#include <cstdlib>

#include "ErrorReport.h"
#include "FormulaCatalogue.h"
#include "FormulaSession.h"
#include "InputError.h"
#include "StudioJson.h"
#include "ValueWriters.h"

namespace zrsignal {

namespace {

std::string inputErrorJson(const std::string& message)
{
    return "{\"inputError\":" + jsonString(message) + "}";
}

// Runs `parsers` (compiled in `session`) over `frames` frames on the simulated clock, as eval
// does, and returns each one's values.
std::vector<std::vector<double>> runCompiled(FormulaSession& session, const std::vector<ZrParser*>& parsers,
                                             double fps, std::uint64_t frames)
{
    std::vector<std::vector<double>> values(parsers.size());
    for (auto& list : values)
        list.reserve(static_cast<std::size_t>(frames));
    FrameClock clock(ClockMode::Simulated, fps);
    runFrames(parsers, session.inputs(), clock, frames,
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

} // namespace

std::string evaluateFormulas(const FormulaRequest& request)
{
    if (const auto problem = limitProblem(request))
        return inputErrorJson(*problem);
    DefinitionOptions options;
    options.fps = request.fps;
    options.varTexts = request.variables;
    options.inputPath = request.csvPath;
    options.audioPath = request.audioPath;
    try {
        options.finish();
        FormulaSession session(options, request.formulas.size());
        if (request.seed)
            std::srand(*request.seed);
        std::vector<std::string> errors(request.formulas.size());
        std::vector<ZrParser*> compiled;
        for (std::size_t i = 0; i < request.formulas.size(); ++i) {
            try {
                session.compile(i, request.formulas[i], VariableSources::Studio);
                compiled.push_back(&session.parser(i));
            } catch (const LibraryFailure& failure) {
                const FormulaNames names = FormulaNames::of(session.parser(i));
                errors[i] = failureJson(failure, suggestionsFor(hintSubjectOf(failure), names));
            }
        }
        const std::uint64_t frames = request.frames.value_or(session.inputs().naturalFrameCount());
        if (frames > MAX_FRAMES)
            return inputErrorJson("the inputs last " + std::to_string(frames) + " frames; give at most " +
                                  std::to_string(MAX_FRAMES));
        const auto values = runCompiled(session, compiled, options.fps, frames);

        std::string json = "{\"fps\":" + jsonNumber(options.fps) + ",\"frames\":" + std::to_string(frames) +
                           ",\"results\":[";
        std::size_t next = 0;
        for (std::size_t i = 0; i < request.formulas.size(); ++i) {
            json += (i > 0 ? ",{\"formula\":" : "{\"formula\":") + jsonString(request.formulas[i]);
            json += errors[i].empty() ? ",\"values\":" + jsonNumbers(values[next++]) : ",\"error\":" + errors[i];
            json += "}";
        }
        return json + "]}";
    } catch (const InputError& error) {
        return inputErrorJson(error.what());
    } catch (const LibraryFailure& failure) {
        return "{\"definitionError\":" + failureJson(failure, {}) + "}";
    }
}

StudioCatalogue::StudioCatalogue()
{
    DefinitionOptions options;
    options.fps = EXAMPLE_FPS;
    options.finish();
    for (CatalogueRow& row : formulaCatalogue()) {
        const std::string example = exampleFormula(row);
        std::string values = "[]";
        try {
            FormulaSession session(options, 1);
            session.compile(0, example, std::nullopt);
            values = jsonNumbers(runCompiled(session, {&session.parser(0)}, options.fps, EXAMPLE_FRAMES).front());
        } catch (const LibraryFailure&) {
            // The row is still listed, without a curve; a test keeps every example compiling.
        }
        std::string json = catalogueRowJson(row, true);
        json.pop_back(); // the closing brace: the example and its values follow
        json += ",\"from\":" + jsonString(originText(row)) + ",\"example\":" + jsonString(example) +
                ",\"values\":" + values + "}";
        entries_.push_back({std::move(row), std::move(json)});
    }
}

std::string StudioCatalogue::json(std::string_view pattern) const
{
    // The rows found, the best first; rows found as well keep the catalogue's order.
    std::vector<std::pair<int, const Entry*>> found;
    for (const Entry& entry : entries_) {
        if (const auto rank = matchRank(entry.row, pattern))
            found.emplace_back(*rank, &entry);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string json = "{\"frames\":" + std::to_string(EXAMPLE_FRAMES) + ",\"fps\":" + jsonNumber(EXAMPLE_FPS) +
                       ",\"rows\":[";
    for (std::size_t i = 0; i < found.size(); ++i)
        json += (i > 0 ? "," : "") + found[i].second->json;
    return json + "]}";
}

} // namespace zrsignal
