// The show's addresses, and name lookup for variables and fixture formulas.
#include "zrshow/show/ShowCommands.h"

#include <charconv>
#include <cmath>

#include "zrhost/NumberText.h"
#include "zrshow/show/ShowHost.h"

namespace zrshow {

namespace {

constexpr std::string_view VARIABLE_PREFIX = "/zr/var/";
constexpr std::string_view FORMULA_PREFIX = "/zr/formula/";
constexpr std::string_view TAP = "/zr/tap";
constexpr std::string_view TEMPO = "/zr/tempo";

// The tempo a show may ask for.
constexpr double SLOWEST_BPM = 20.0;
constexpr double FASTEST_BPM = 999.0;

} // namespace

ShowCommands::ShowCommands(ShowFile show, const ShowPatch& patch, const ShowHost& host)
    : show_(std::move(show)), patch_(patch), host_(host)
{
}

ShowRequestResult ShowCommands::interpret(std::string_view address, const ShowArgument& argument) const
{
    if (address.starts_with(VARIABLE_PREFIX)) {
        const std::string name(address.substr(VARIABLE_PREFIX.size()));
        const double* value = std::get_if<double>(&argument);
        if (!value)
            return "takes one number";
        return setVariable(name, *value);
    }
    if (address.starts_with(FORMULA_PREFIX)) {
        // FIXTURE/INDEX/CHANNEL
        const std::string_view rest = address.substr(FORMULA_PREFIX.size());
        const auto slash1 = rest.find('/');
        const auto slash2 = slash1 == std::string_view::npos ? slash1 : rest.find('/', slash1 + 1);
        if (slash2 == std::string_view::npos || rest.find('/', slash2 + 1) != std::string_view::npos)
            return "the address must be /zr/formula/FIXTURE/INDEX/CHANNEL";
        const std::string_view indexText = rest.substr(slash1 + 1, slash2 - slash1 - 1);
        const std::string fixture(rest.substr(0, slash1));
        const std::string channel(rest.substr(slash2 + 1));
        const std::string* formula = std::get_if<std::string>(&argument);
        if (indexText == "*") {
            if (!formula)
                return "takes one string, the formula";
            return replaceGroupFormula(fixture, channel, *formula);
        }
        unsigned index = 0;
        const auto parsed = std::from_chars(indexText.data(), indexText.data() + indexText.size(), index);
        if (parsed.ec != std::errc() || parsed.ptr != indexText.data() + indexText.size())
            return "INDEX must be a number from 0, or * for the whole group, not '" + std::string(indexText) + "'";
        if (!formula)
            return "takes one string, the formula";
        return replaceFormula(fixture, index, channel, *formula);
    }
    if (address == TAP)
        return tap();
    if (address == TEMPO) {
        const double* bpm = std::get_if<double>(&argument);
        if (!bpm)
            return "takes one number, the beats per minute";
        return requestTempo(*bpm);
    }
    return "unknown address (use /zr/var/NAME, /zr/formula/FIXTURE/INDEX/CHANNEL, /zr/tap or /zr/tempo)";
}

ShowRequestResult ShowCommands::tap() const
{
    if (show_.tempo.source != TempoSourceKind::Tap)
        return "the show's tempo does not come from taps (that takes [tempo] source = \"tap\")";
    return ShowEdit{TapBeat{std::chrono::steady_clock::now()}};
}

ShowRequestResult ShowCommands::requestTempo(double bpm) const
{
    if (show_.tempo.source != TempoSourceKind::Tap && show_.tempo.source != TempoSourceKind::Link)
        return "the show's tempo cannot be set: it comes from " +
               std::string(show_.tempo.source == TempoSourceKind::Unset ? "the audio" : tempoSourceName(show_.tempo.source)) +
               " (a tempo is set for [tempo] source = \"tap\" or \"link\")";
    if (!(bpm >= SLOWEST_BPM && bpm <= FASTEST_BPM))
        return "the tempo must be from 20 to 999 beats a minute";
    return ShowEdit{RequestTempo{bpm}};
}

ShowRequestResult ShowCommands::setVariable(const std::string& name, double value) const
{
    double* variable = host_.showVariable(name);
    if (!variable)
        return "the show has no variable '" + name + "' that may be set (only [variables] not fed by an input file)";
    // A NaN would hold every fixture that reads the variable where it is; an infinity is no level.
    if (!std::isfinite(value))
        return "'" + name + "' takes a finite number, not " + zrhost::formatNumber(value);
    return ShowEdit{SetVariable{variable, value}};
}

ShowRequestResult ShowCommands::replaceFormula(const std::string& fixture, unsigned index, const std::string& channel,
                                               std::string formula) const
{
    if (isBlankFormula(formula))
        return "the formula is empty";
    const auto position = patch_.find(show_, fixture, index, channel);
    if (!position)
        return "the show has no fixture '" + fixture + "' number " + std::to_string(index) + " with a channel '" +
               channel + "'";
    return ShowEdit{ReplaceFormula{*position, std::move(formula), describeChannel(show_, patch_.channels()[*position])}};
}

ShowRequestResult ShowCommands::replaceGroupFormula(const std::string& fixture, const std::string& channel,
                                                    std::string formula) const
{
    if (isBlankFormula(formula))
        return "the formula is empty";
    for (std::size_t f = 0; f < show_.fixtures.size(); ++f) {
        if (show_.fixtures[f].name != fixture)
            continue;
        const auto& channels = show_.fixtures[f].channels;
        for (std::size_t c = 0; c < channels.size(); ++c) {
            if (channels[c].name != channel)
                continue;
            const auto position = patch_.find(show_, fixture, 0, channel);
            if (!position)
                break;
            std::string what = "fixture '" + fixture + "' channel '" + channel + "' (every fixture of the group)";
            return ShowEdit{ReplaceFormula{*position, std::move(formula), std::move(what), GroupChannel{f, c}}};
        }
    }
    return "the show has no fixture '" + fixture + "' with a channel '" + channel + "'";
}

} // namespace zrshow
