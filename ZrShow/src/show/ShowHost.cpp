// Host parser set-up for a show, collecting refused definitions instead of stopping at one.
#include "zrshow/show/ShowHost.h"

#include <algorithm>

#include "zrhost/LibraryFailure.h"
#include "zrhost/NumberText.h"
#include "zrparser/ZrPlatform.h"
#include "zrparser/ZrUtf8.h"
#include "zrshow/show/ShowProblems.h"

namespace zrshow {

using zrhost::LibraryFailure;

namespace {

// Runs one definition, turning the library's refusal into a problem at `line`.
template <class Define>
void defineOrReport(ShowProblems& problems, std::size_t line, const std::string& what, const std::string& subject,
                    Define define)
{
    try {
        define();
    } catch (const ZrParserException& e) {
        problems.add(line, what + " is refused", LibraryFailure(e, zr::fromUtf8(subject)));
    } catch (const LibraryFailure& failure) {
        problems.add(line, what + " is refused", failure);
    }
}

} // namespace

ShowHost::ShowHost(const ShowFile& show, const ShowInputFiles& files, ShowProblems& problems,
                   const LiveInputsMaker& makeLiveInputs)
{
    zrhost::HostDefinitions definitions;
    definitions.fps = show.fps;
    definitions.audioPath = files.audioPath;
    definitions.inputPath = files.inputPath;
    const bool tempoFromAudio = show.tempo.source == TempoSourceKind::Unset || show.tempo.source == TempoSourceKind::Audio;
    definitions.beatTracker = tempoFromAudio ? files.beatTracker : nullptr;
    inputs_ = std::make_unique<zrhost::FrameInputs>(definitions, variables_);
    // A column feeds one of the show's variables; any other would be read by nothing.
    for (const std::string& column : inputs_->inputColumns()) {
        if (std::none_of(show.variables.begin(), show.variables.end(),
                         [&](const ShowNumber& variable) { return variable.name == column; }))
            problems.add(0, "input file " + files.inputPath + ": column '" + column +
                                "' is no [variables] entry of the show, so nothing would read it");
    }
    if (makeLiveInputs)
        live_ = makeLiveInputs(variables_);
    fps_ = show.fps;
    if (show.tempo.loopsInBeats) {
        bpm_ = variable("bpm");
        if (bpm_)
            definitions.timeIncrement = &beatIncrement_;
        else
            problems.add(show.tempo.line, "[tempo] loops = \"beats\": the show has no tempo to count them by");
    }
    parser_ = zrhost::makeHostParser(definitions, variables_);

    for (const ShowNumber& variable : show.variables) {
        bool fedByInput = false;
        for (const zrhost::HostVariables::Variable& existing : variables_.all())
            fedByInput = fedByInput || existing.name == variable.name;
        if (fedByInput)
            continue;
        double* value = variables_.add(variable.name, variable.value, variable.name);
        defineOrReport(problems, variable.line, "variable '" + variable.name + "'", variable.name,
                       [&] { parser_->defineVar(zr::fromUtf8(variable.name).c_str(), value); });
        showVariables_.emplace_back(variable.name, value);
    }
    for (const ShowNumber& constant : show.constants) {
        defineOrReport(problems, constant.line, "constant '" + constant.name + "'",
                       constant.name + " = " + zrhost::formatNumber(constant.value),
                       [&] { parser_->defineConst(zr::fromUtf8(constant.name).c_str(), constant.value); });
    }
    for (const ShowMacro& macro : show.macros) {
        const zrhost::MacroText text{macro.prototype, macro.body, macro.prototype + "=" + macro.body};
        defineOrReport(problems, macro.line, "macro '" + macro.prototype + "'", text.text,
                       [&] { zrhost::defineMacro(*parser_, text); });
    }
}

void ShowHost::beforeFrame(std::uint64_t frame, std::chrono::steady_clock::time_point instant)
{
    inputs_->apply(frame);
    for (const auto& input : live_)
        input->beforeFrame(frame, instant);
    // The beats of one frame at its tempo, as a phase step: loops read beats where they read seconds.
    if (bpm_)
        beatIncrement_ = zr::TWO_PI * *bpm_ / 60.0 / fps_;
}

void ShowHost::addFirstLiveInput(std::unique_ptr<LiveInput> input)
{
    live_.insert(live_.begin(), std::move(input));
}

const double* ShowHost::variable(const std::string& name) const
{
    for (const zrhost::HostVariables::Variable& variable : variables_.all()) {
        if (variable.name == name)
            return &variable.value;
    }
    return nullptr;
}

std::vector<zrhost::NamedNumber> ShowHost::variableValues() const
{
    std::vector<zrhost::NamedNumber> values;
    for (const zrhost::HostVariables::Variable& variable : variables_.all())
        values.push_back({variable.name, variable.value, variable.name});
    return values;
}

double* ShowHost::showVariable(const std::string& name) const
{
    for (const auto& [variableName, value] : showVariables_) {
        if (variableName == name)
            return value;
    }
    return nullptr;
}

} // namespace zrshow
