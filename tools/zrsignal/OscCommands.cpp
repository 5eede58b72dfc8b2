// OSC address parsing and name lookup for variables and fixture formulas.
#include "OscCommands.h"

#include <charconv>
#include <string_view>

#include "ShowHost.h"

namespace zrsignal {

namespace {

constexpr std::string_view VARIABLE_PREFIX = "/zr/var/";
constexpr std::string_view FORMULA_PREFIX = "/zr/formula/";

bool isNumberTag(char type)
{
    return type == 'f' || type == 'd' || type == 'i' || type == 'h';
}

} // namespace

OscCommands::OscCommands(ShowFile show, const ShowPatch& patch, const ShowHost& host)
    : show_(std::move(show)), patch_(patch), host_(host)
{
}

std::variant<ShowEdit, std::string> OscCommands::interpret(const OscMessage& message, const OscSender& from) const
{
    const std::string_view path = message.path;
    if (path.starts_with(VARIABLE_PREFIX)) {
        const std::string name(path.substr(VARIABLE_PREFIX.size()));
        if (!isNumberTag(message.type))
            return "takes one number";
        double* value = host_.showVariable(name);
        if (!value)
            return "the show has no variable '" + name + "' that OSC may set (only [variables] not fed by an "
                                                      "input file)";
        return ShowEdit{SetVariable{value, message.number}};
    }
    if (path.starts_with(FORMULA_PREFIX)) {
        // FIXTURE/INDEX/CHANNEL
        const std::string_view rest = path.substr(FORMULA_PREFIX.size());
        const auto slash1 = rest.find('/');
        const auto slash2 = slash1 == std::string_view::npos ? slash1 : rest.find('/', slash1 + 1);
        if (slash2 == std::string_view::npos || rest.find('/', slash2 + 1) != std::string_view::npos)
            return "the address must be /zr/formula/FIXTURE/INDEX/CHANNEL";
        const std::string fixture(rest.substr(0, slash1));
        const std::string_view indexText = rest.substr(slash1 + 1, slash2 - slash1 - 1);
        const std::string channel(rest.substr(slash2 + 1));
        unsigned index = 0;
        const auto parsed = std::from_chars(indexText.data(), indexText.data() + indexText.size(), index);
        if (parsed.ec != std::errc() || parsed.ptr != indexText.data() + indexText.size())
            return "INDEX must be a number from 0, not '" + std::string(indexText) + "'";
        if (message.type != 's')
            return "takes one string, the formula";
        const auto position = patch_.find(show_, fixture, index, channel);
        if (!position)
            return "the show has no fixture '" + fixture + "' number " + std::to_string(index) + " with a channel '" +
                   channel + "'";
        return ShowEdit{ReplaceFormula{*position, message.text, describeChannel(show_, patch_.channels()[*position]),
                                       from}};
    }
    return "unknown address (use /zr/var/NAME or /zr/formula/FIXTURE/INDEX/CHANNEL)";
}

} // namespace zrsignal
