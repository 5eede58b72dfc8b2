// Reading definitions written as text: NAME=VALUE and PROTOTYPE=BODY.
#include "zrhost/HostDefinitions.h"

#include <cmath>

#include "zrhost/InputError.h"
#include "zrhost/NumberText.h"

namespace zrhost {

NamedNumber parseNamedNumber(const std::string& text)
{
    const auto equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        throw InputError("'" + text + "': expected NAME=VALUE");
    const auto value = parseNumber(text.substr(equals + 1));
    if (!value)
        throw InputError("'" + text + "': the value is not a number");
    return {text.substr(0, equals), *value, text};
}

MacroText parseMacroText(const std::string& text)
{
    const auto equals = text.find('=');
    if (equals == std::string::npos)
        throw InputError("'" + text + "': expected PROTOTYPE=BODY");
    return {text.substr(0, equals), text.substr(equals + 1), text};
}

bool isFrameRate(double fps)
{
    return std::isfinite(fps) && fps > 0.0;
}

} // namespace zrhost
