// The catalogue as a host parser offers it, and example calls built from each prototype.
#include "zrhost/FormulaCatalogue.h"

#include <algorithm>
#include <map>

#include "zrhost/HostParser.h"
#include "zrparser/ZrParser.h"

namespace zrhost {

namespace {

bool sameOverload(const CatalogueRow& a, const CatalogueRow& b)
{
    return a.symbol == b.symbol && a.help == b.help && a.args == b.args;
}

bool containsOverload(const std::vector<CatalogueRow>& rows, const CatalogueRow& row)
{
    return std::any_of(rows.begin(), rows.end(), [&](const CatalogueRow& r) { return sameOverload(r, row); });
}

// Signals the examples are made of: a wave and a triangle between 0 and 100 percent, a ramp
// from 0 to 100 one step a frame, and a trigger every 20 frames (half a second at 40 fps).
constexpr const char* WAVE = "50 + 50 * __sin(0.15)";
constexpr const char* TRIANGLE = "50 + 50 * __triangle(0.1)";
constexpr const char* RAMP = "counter(0, 100, 1)";
constexpr const char* TRIGGER = "counter(0, 19, 1) == 0";

// What an argument of a prototype gets, by its name (lower case). Names not listed get 50.
const std::map<std::string, std::string>& argumentExamples()
{
    static const std::map<std::string, std::string> examples = {
        // values and signals
        {"x", WAVE}, {"value", WAVE}, {"value0", WAVE}, {"value1", WAVE}, {"percent", WAVE}, {"percentvalue", WAVE},
        {"indexpercent", RAMP}, {"inputsignal", WAVE}, {"function", WAVE}, {"fct1", WAVE}, {"valuetomatch", WAVE},
        {"y", TRIANGLE}, {"value2", TRIANGLE}, {"fct2", TRIANGLE}, {"value3", RAMP}, {"fct3", RAMP},
        {"v1", WAVE}, {"v2", TRIANGLE}, {"v3", RAMP}, {"z", RAMP},
        // colour
        {"h", RAMP}, {"s", "100"}, {"i", "50"}, {"r", WAVE}, {"g", TRIANGLE}, {"b", "20"},
        {"targethue", RAMP}, {"targetsaturation", "100"},
        // angles and phase
        {"radinc", "0.15"}, {"playbackinc", "1"}, {"rad", "counter(0, 100, 1) / 16"},
        {"degrees", "counter(0, 100, 1) * 3.6"}, {"gotodegrees", "counter(0, 100, 1) * 3.6"},
        {"motormaxdegrees", "540"},
        // triggers: positive when something should happen
        {"incrementnow", TRIGGER}, {"updatenow", TRIGGER}, {"beatfct", TRIGGER}, {"activation", WAVE},
        {"gonext", TRIGGER}, {"isrecording", "counter(0, 79, 1) < 40"}, {"condition", "__sin(0.15) > 0"},
        {"condition1", "__sin(0.15) > 0"}, {"condition2", TRIGGER},
        {"decrementnow", "0"}, {"resetfct", "0"}, {"reset", "0"}, {"goback", "0"}, {"endfct", "0"},
        // ranges
        {"from", "0"}, {"to", "7"}, {"min", "20"}, {"max", "80"}, {"tomin", "0"}, {"tomax", "255"},
        // times in seconds, and steps in frames
        {"time", "1"}, {"duration", "10"}, {"totalduration", "2"}, {"crossfadeduration", "0.5"},
        {"resettime", "1"}, {"autoresettime", "1"}, {"time1", "1"}, {"time2", "1"}, {"time3", "1"},
        {"nbsteps", "10"}, {"step", "10"}, {"nbrepeats", "0"}, {"number of delayed values", "20"},
        {"threshold", "5"}, {"thresholdup", "60"}, {"thresholddown", "40"}, {"delay", "0"},
        {"probability", "50"}, {"multiple", "2"}, {"offset", "0"}, {"speedmult", "1"}, {"fps", "40"},
        {"initialvalue", "0"}, {"defaultvalue", "0"}, {"id", "1"},
        // points
        {"x1", "0"}, {"y1", "0"}, {"z1", "0"}, {"x2", WAVE}, {"y2", TRIANGLE}, {"z2", "0"},
    };
    return examples;
}

// Calls whose arguments depend on each other, or that need more than their minimum to show
// anything: a loop of one function, a switch without cases.
const std::map<std::string, std::string>& wholeExamples()
{
    static const std::map<std::string, std::string> examples = {
        {"loop", "loop(2, 0.5, 50 + 50 * __sin(0.3), 100 * (counter(0, 19, 1) < 10), 20)"},
        {"randloop", "randloop(1, 0.2, 50 + 50 * __sin(0.3), 100, 20)"},
        {"sequence", "sequence(3, 0.5, 0, 50 + 50 * __sin(0.3), 100, 20)"},
        {"timedsequence", "timedsequence(0, 0.2, 0, 1, 50 + 50 * __sin(0.3), 0.5, 100, 1, 20)"},
        {"switch", "switch(counter(0, 3, 1), 0, 20, 1, 60, 2, 100, 0)"},
        {"select", "select(counter(0, 100, 1), 20, 60, 100)"},
        {"selectcondition", "selectcondition(__sin(0.15) > 0.5, 100, __sin(0.15) < -0.5, 20, 60)"},
        {"coalesce", "coalesce(NaN, 50 + 50 * __sin(0.15))"},
        {"latestindex", "latestindex(counter(0, 19, 1) == 0, counter(0, 29, 1) == 0, counter(0, 47, 1) == 0)"},
        {"grecall", "gmem(1, 50 + 50 * __sin(0.15)) * 0 + grecall(1)"},
        {"if", "if(__sin(0.15) > 0, 100, 20)"},
        {"hex", "hex(ff)"},
        {"bin", "bin(1010)"},
        {"fact", "fact(counter(0, 10, 1))"},
        {"log", "log(1 + counter(0, 100, 1))"},
        {"log10", "log10(1 + counter(0, 100, 1))"},
        {"asin", "asin(__sin(0.15))"},
        {"acos", "acos(__sin(0.15))"},
        {"math.asin", "math.asin(__sin(0.15))"},
        {"math.acos", "math.acos(__sin(0.15))"},
        {"math.elevationangle", "math.elevationangle(0, 0, 0, 10, 10, 50 * __sin(0.15))"},
        {"__timeout", "__timeout(0.5, counter(0, 59, 1) < 20)"},
        {"onchange", "onchange(counter(0, 19, 1) < 10)"},
        {"onbeat", "onbeat(50 + 50 * __sin(0.5), 2)"},
        {"^", "(counter(0, 100, 1) / 100) ^ 2 * 100"},
        {"!", "!(counter(0, 19, 1) < 10)"},
        {"&", "(counter(0, 39, 1) < 20) & (counter(0, 9, 1) < 5)"},
        {"|", "(counter(0, 39, 1) < 20) | (counter(0, 29, 1) < 5)"},
    };
    return examples;
}

std::string trimmed(std::string text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The argument names of a prototype such as "latchDelta(updateNow, value, [min=0], [max=100])":
// brackets and defaults dropped, stopping at "...".
std::vector<std::string> argumentNames(const std::string& help)
{
    std::vector<std::string> names;
    const auto open = help.find('(');
    const auto close = help.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close <= open)
        return names;
    std::string list = help.substr(open + 1, close - open - 1);
    std::size_t start = 0;
    while (start <= list.size()) {
        const auto comma = list.find(',', start);
        std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return c == '[' || c == ']'; }), name.end());
        name = trimmed(name.substr(0, name.find('=')));
        if (name.empty() || name.starts_with("..."))
            break;
        if (name.ends_with("..."))
            name.resize(name.size() - 3);
        for (char& c : name)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        names.push_back(name);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return names;
}

std::string argumentExample(const std::string& name)
{
    const auto found = argumentExamples().find(name);
    return found == argumentExamples().end() ? "50" : found->second;
}

// Operators: their prototype is "x + y" or "-x".
std::string operatorExample(const CatalogueRow& row)
{
    if (row.args == 1)
        return row.symbol + "(" + std::string(RAMP) + ")";
    return std::string(RAMP) + " " + row.symbol + " 50";
}

} // namespace

std::vector<CatalogueRow> formulaCatalogue()
{
    std::vector<CatalogueRow> rows = catalogueRows(false);
    const std::size_t pluginCount = rows.size();

    HostVariables variables;
    const auto host = makeHostParser(HostDefinitions{}, variables);
    std::vector<CatalogueRow> hostRows;
    appendParserRows(hostRows, *host);
    ZrParser plain;
    std::vector<CatalogueRow> defaultRows;
    appendParserRows(defaultRows, plain);

    const std::vector<CatalogueRow> pluginRows(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(pluginCount));
    for (CatalogueRow& row : hostRows) {
        if (std::string_view(row.origin) == "function") {
            if (containsOverload(pluginRows, row))
                continue;
            if (!containsOverload(defaultRows, row))
                row.origin = "host";
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string exampleFormula(const CatalogueRow& row)
{
    const auto whole = wholeExamples().find(row.symbol);
    if (whole != wholeExamples().end())
        return whole->second;
    if (std::string_view(row.origin) == "operator")
        return operatorExample(row);
    const std::vector<std::string> names = argumentNames(row.help);
    const std::size_t count = row.args >= 0 ? static_cast<std::size_t>(row.args) : names.size();
    std::string call = row.symbol + "(";
    for (std::size_t i = 0; i < count; ++i)
        call += (i > 0 ? ", " : "") + (i < names.size() ? argumentExample(names[i]) : std::string("50"));
    return call + ")";
}

const char* originText(const CatalogueRow& row)
{
    const std::string_view origin = row.origin;
    if (origin == "plugin")
        return "signal plug-in";
    if (origin == "operator")
        return "operator";
    if (origin == "host")
        return "the host program";
    return "the parser's default functions";
}

} // namespace zrhost
