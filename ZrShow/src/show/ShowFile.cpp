// Reading a show file with toml++: every table checked for unknown keys, every value for its
// type and range, every problem collected with the line toml++ gives for it.
#include "zrshow/show/ShowFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <set>

#include <toml++/toml.h>

#include "zrhost/FileText.h"
#include "zrhost/InputError.h"
#include "zrhost/NumberText.h"
#include "zrshow/outputs/ArtNetPacket.h"
#include "zrshow/outputs/DmxLevels.h"
#include "zrshow/outputs/NetworkAddress.h"
#include "zrshow/outputs/OlaOutput.h"
#include "zrshow/outputs/SacnPacket.h"
#include "zrshow/show/FixtureProfile.h"
#include "zrshow/show/ShowProblems.h"

namespace zrshow {

namespace {

// Slot numbers in a show file count from 1.
constexpr auto LAST_SLOT = static_cast<std::int64_t>(DMX_SLOT_COUNT);
// A frame every 5 ms: far beyond what DMX receivers take (about 44 full frames a second).
constexpr double MAX_FPS = 200.0;


std::size_t lineOf(const toml::node& node)
{
    return node.source().begin.line;
}

const char* typeName(const toml::node& node)
{
    switch (node.type()) {
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a floating-point number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time";
    case toml::node_type::date_time: return "a date-time";
    case toml::node_type::none: break;
    }
    return "nothing";
}

// Reads the keys of one table for one part of the show ("fixture 'pars'"), reporting unknown
// keys at once and every missing, mistyped or out-of-range value as it is asked for.
class FieldReader {
public:
    FieldReader(const toml::table& table, std::string context, ShowProblems& problems,
                std::initializer_list<std::string_view> known)
        : table_(table), context_(std::move(context)), problems_(problems)
    {
        for (auto&& [key, node] : table_) {
            bool isKnown = false;
            for (std::string_view name : known)
                isKnown = isKnown || key.str() == name;
            if (!isKnown)
                report(key.source().begin.line, "unknown key '" + std::string(key.str()) + "'");
        }
    }

    std::size_t line() const { return zrshow::lineOf(table_); }
    std::size_t lineOf(std::string_view key) const
    {
        const toml::node* node = table_.get(key);
        return node ? zrshow::lineOf(*node) : line();
    }
    bool has(std::string_view key) const { return table_.contains(key); }
    void report(std::size_t line, const std::string& message) { problems_.add(line, context_ + ": " + message); }

    // An integer in [low, high]; nothing (after a report) when absent and required, mistyped or
    // out of range.
    std::optional<std::int64_t> integer(std::string_view key, std::int64_t low, std::int64_t high, bool required)
    {
        const toml::node* node = find(key, required);
        if (!node)
            return std::nullopt;
        const auto value = node->value_exact<std::int64_t>();
        if (!value) {
            mistyped(*node, key, "an integer");
            return std::nullopt;
        }
        if (*value < low || *value > high) {
            report(zrshow::lineOf(*node), "'" + std::string(key) + "' is " + std::to_string(*value) +
                                                ", which is not from " + std::to_string(low) + " to " +
                                                std::to_string(high));
            return std::nullopt;
        }
        return value;
    }

    std::optional<double> number(std::string_view key, bool required)
    {
        const toml::node* node = find(key, required);
        if (!node)
            return std::nullopt;
        if (!node->is_number()) {
            mistyped(*node, key, "a number");
            return std::nullopt;
        }
        return node->value<double>();
    }

    std::optional<std::string> text(std::string_view key, bool required)
    {
        const toml::node* node = find(key, required);
        if (!node)
            return std::nullopt;
        if (!node->is_string()) {
            mistyped(*node, key, "a string");
            return std::nullopt;
        }
        return node->value<std::string>();
    }

    std::optional<bool> flag(std::string_view key)
    {
        const toml::node* node = find(key, false);
        if (!node)
            return std::nullopt;
        if (!node->is_boolean()) {
            mistyped(*node, key, "true or false");
            return std::nullopt;
        }
        return node->value<bool>();
    }

    const toml::array* array(std::string_view key, bool required)
    {
        const toml::node* node = find(key, required);
        if (node && !node->is_array())
            mistyped(*node, key, "an array");
        return node ? node->as_array() : nullptr;
    }

private:
    const toml::node* find(std::string_view key, bool required)
    {
        const toml::node* node = table_.get(key);
        if (!node && required)
            report(line(), "missing '" + std::string(key) + "'");
        return node;
    }

    void mistyped(const toml::node& node, std::string_view key, const char* expected)
    {
        report(zrshow::lineOf(node),
               "'" + std::string(key) + "' must be " + expected + ", not " + typeName(node));
    }

    const toml::table& table_;
    std::string context_;
    ShowProblems& problems_;
};

// The smallest of 1, 2 and 5 times a power of ten that is at least `value` (> 0).
double roundUp(double value)
{
    double decade = std::pow(10.0, std::floor(std::log10(value)));
    for (;; decade *= 10.0) {
        for (double step : {1.0, 2.0, 5.0}) {
            if (step * decade >= value)
                return step * decade;
        }
    }
}

VariableRange automaticRange(double value)
{
    VariableRange range;
    if (value < range.min)
        range.min = -roundUp(-value);
    if (value > range.max)
        range.max = roundUp(value);
    return range;
}

// A [variables] entry written as a table: { value = 128, min = 60, max = 200, step = 1 }. The
// value with its range, or nothing after the problems are reported.
std::optional<ShowNumber> readRangedVariable(const std::string& name, const toml::table& table, ShowProblems& problems)
{
    const std::size_t problemsBefore = problems.count();
    FieldReader fields(table, "[variables] '" + name + "'", problems, {"value", "min", "max", "step"});
    const auto value = fields.number("value", true);
    const auto min = fields.number("min", false);
    const auto max = fields.number("max", false);
    const auto step = fields.number("step", false);
    if (problems.count() != problemsBefore || !value)
        return std::nullopt;
    for (const auto& [key, number] : {std::pair{"value", value}, {"min", min}, {"max", max}, {"step", step}}) {
        if (number && !std::isfinite(*number)) {
            fields.report(fields.lineOf(key), "'" + std::string(key) + "' must be a finite number");
            return std::nullopt;
        }
    }
    const VariableRange automatic = automaticRange(*value);
    VariableRange range{min.value_or(std::min(automatic.min, *value)), max.value_or(std::max(automatic.max, *value)),
                        step};
    if (range.min >= range.max) {
        fields.report(fields.line(), "'min' (" + zrhost::formatNumber(range.min) + ") must be less than 'max' (" +
                                         zrhost::formatNumber(range.max) + ")");
        return std::nullopt;
    }
    if (*value < range.min || *value > range.max) {
        fields.report(fields.lineOf("value"), "'value' " + zrhost::formatNumber(*value) + " is not from 'min' " +
                                                  zrhost::formatNumber(range.min) + " to 'max' " +
                                                  zrhost::formatNumber(range.max));
        return std::nullopt;
    }
    if (step && (*step <= 0.0 || *step > range.max - range.min)) {
        fields.report(fields.lineOf("step"), "'step' must be more than 0 and at most max - min (" +
                                                 zrhost::formatNumber(range.max - range.min) + "), not " +
                                                 zrhost::formatNumber(*step));
        return std::nullopt;
    }
    return ShowNumber{name, *value, fields.line(), range};
}

// [variables] and [constants]: names with numbers; a variable may be a table with its range.
std::vector<ShowNumber> readNumbers(const toml::table& root, const char* section, ShowProblems& problems)
{
    std::vector<ShowNumber> numbers;
    const toml::node* node = root.get(section);
    if (!node)
        return numbers;
    const toml::table* table = node->as_table();
    if (!table) {
        problems.add(lineOf(*node), std::string("[") + section + "] must be a table, not " + typeName(*node));
        return numbers;
    }
    const bool variables = std::string_view(section) == "variables";
    for (auto&& [key, value] : *table) {
        if (variables && value.is_table()) {
            if (auto ranged = readRangedVariable(std::string(key.str()), *value.as_table(), problems))
                numbers.push_back(std::move(*ranged));
            continue;
        }
        if (!value.is_number()) {
            problems.add(lineOf(value), std::string("[") + section + "] '" + std::string(key.str()) + "' must be " +
                                            (variables ? "a number or a table such as { value = 50, min = 0, max = "
                                                         "100 }, not "
                                                       : "a number, not ") +
                                            typeName(value));
            continue;
        }
        numbers.push_back({std::string(key.str()), *value.value<double>(), key.source().begin.line});
    }
    return numbers;
}

// [macros]: "PROTOTYPE" = "BODY".
std::vector<ShowMacro> readMacros(const toml::table& root, ShowProblems& problems)
{
    std::vector<ShowMacro> macros;
    const toml::node* node = root.get("macros");
    if (!node)
        return macros;
    const toml::table* table = node->as_table();
    if (!table) {
        problems.add(lineOf(*node), std::string("[macros] must be a table, not ") + typeName(*node));
        return macros;
    }
    for (auto&& [key, value] : *table) {
        if (!value.is_string()) {
            problems.add(lineOf(value), "[macros] '" + std::string(key.str()) + "' must be a string, not " +
                                            typeName(value));
            continue;
        }
        macros.push_back({std::string(key.str()), *value.value<std::string>(), key.source().begin.line});
    }
    // The table keeps its keys sorted; a macro may use the macros written above it.
    std::stable_sort(macros.begin(), macros.end(),
                     [](const ShowMacro& a, const ShowMacro& b) { return a.line < b.line; });
    return macros;
}

// The tables of an array of tables such as [[fixture]]; anything else is reported.
std::vector<const toml::table*> tablesOf(const toml::table& root, const char* name, ShowProblems& problems)
{
    std::vector<const toml::table*> tables;
    const toml::node* node = root.get(name);
    if (!node)
        return tables;
    const toml::array* array = node->as_array();
    if (!array) {
        problems.add(lineOf(*node), std::string("'") + name + "' must be written as [[" + name + "]] tables");
        return tables;
    }
    for (const toml::node& element : *array) {
        if (const toml::table* table = element.as_table())
            tables.push_back(table);
        else
            problems.add(lineOf(element), std::string("each '") + name + "' must be a table, not " + typeName(element));
    }
    return tables;
}

struct TempoSourceRules {
    TempoSourceKind source;
    const char* name;
};

constexpr TempoSourceRules TEMPO_SOURCES[] = {
    {TempoSourceKind::Audio, "audio"},
    {TempoSourceKind::Link, "link"},
    {TempoSourceKind::MidiClock, "midiclock"},
    {TempoSourceKind::Tap, "tap"},
};

// The tempo a show can ask for: slower or faster is no musical tempo, and a Link session refuses it.
constexpr double SLOWEST_BPM = 20.0;
constexpr double FASTEST_BPM = 999.0;

// [tempo]: where bpm, beat and beatphase come from.
ShowTempo readTempo(const toml::table& root, ShowProblems& problems)
{
    ShowTempo tempo;
    const toml::node* node = root.get("tempo");
    if (!node)
        return tempo;
    const toml::table* table = node->as_table();
    if (!table) {
        problems.add(lineOf(*node), std::string("[tempo] must be a table, not ") + typeName(*node));
        return tempo;
    }
    FieldReader fields(*table, "[tempo]", problems, {"source", "bpm", "port", "loops"});
    tempo.line = fields.line();
    if (const auto source = fields.text("source", true)) {
        for (const TempoSourceRules& rules : TEMPO_SOURCES) {
            if (*source == rules.name)
                tempo.source = rules.source;
        }
        if (tempo.source == TempoSourceKind::Unset)
            fields.report(fields.lineOf("source"), "unknown source '" + *source +
                                                       "' (use \"audio\", \"link\", \"midiclock\" or \"tap\")");
    }
    if (const auto bpm = fields.number("bpm", false)) {
        if (*bpm >= SLOWEST_BPM && *bpm <= FASTEST_BPM)
            tempo.bpm = *bpm;
        else
            fields.report(fields.lineOf("bpm"), "'bpm' is " + zrhost::formatNumber(*bpm) + ", which is not from " +
                                                    zrhost::formatNumber(SLOWEST_BPM) + " to " +
                                                    zrhost::formatNumber(FASTEST_BPM));
    }
    tempo.port = fields.text("port", tempo.source == TempoSourceKind::MidiClock).value_or("");
    if (const auto loops = fields.text("loops", false)) {
        if (*loops == "beats" || *loops == "seconds")
            tempo.loopsInBeats = *loops == "beats";
        else
            fields.report(fields.lineOf("loops"), "'loops' must be \"seconds\" or \"beats\", not '" + *loops + "'");
    }
    if (fields.has("port") && tempo.source != TempoSourceKind::MidiClock)
        fields.report(fields.lineOf("port"), "only the source \"midiclock\" listens to a MIDI port");
    if (fields.has("bpm") && tempo.source != TempoSourceKind::Link && tempo.source != TempoSourceKind::Tap)
        fields.report(fields.lineOf("bpm"), "only the sources \"link\" and \"tap\" begin from a tempo");
    return tempo;
}

// A [[midi]] mapping, or nothing when it cannot be used.
std::optional<ShowMidi> readMidi(const toml::table& table, std::size_t number, ShowProblems& problems)
{
    FieldReader fields(table, "[[midi]] " + std::to_string(number), problems, {"port", "channel", "note", "cc", "variable"});
    ShowMidi midi;
    midi.line = fields.line();
    const auto port = fields.text("port", true);
    const auto channel = fields.integer("channel", 1, 16, false);
    const auto note = fields.integer("note", 0, 127, false);
    const auto cc = fields.integer("cc", 0, 127, false);
    const auto variable = fields.text("variable", true);
    if (fields.has("note") == fields.has("cc"))
        fields.report(fields.line(), "give either 'note' or 'cc'");
    if (!port || !variable || !(note || cc) || (note && cc))
        return std::nullopt;
    midi.port = *port;
    midi.channel = static_cast<unsigned>(channel.value_or(0));
    midi.kind = note ? ShowMidi::Kind::Note : ShowMidi::Kind::ControlChange;
    midi.number = static_cast<unsigned>(note ? *note : *cc);
    midi.variable = *variable;
    return midi;
}

struct ProtocolRules {
    Protocol protocol;
    const char* name;
    std::int64_t lowestUniverse;
    std::int64_t highestUniverse;
    std::uint16_t defaultPort;
};

constexpr ProtocolRules PROTOCOLS[] = {
    {Protocol::Sacn, "sacn", SacnPacket::LOWEST_UNIVERSE, SacnPacket::HIGHEST_UNIVERSE, SacnPacket::PORT},
    {Protocol::ArtNet, "artnet", ArtNetPacket::LOWEST_UNIVERSE, ArtNetPacket::HIGHEST_UNIVERSE, ArtNetPacket::PORT},
    {Protocol::Ola, "ola", 0, std::numeric_limits<std::uint32_t>::max(), OlaOutput::DEFAULT_PORT},
};

// olad's client port listens on the loopback interface only.
bool isLocalHost(const std::string& host)
{
    return host == "localhost" || host == "127.0.0.1" || host == "::1";
}

// "fixture 'pars'" when the table names itself, else "fixture 2".
std::string partName(const toml::table& table, const char* kind, std::size_t number)
{
    if (const auto name = table["name"].value<std::string>())
        return std::string(kind) + " '" + *name + "'";
    if (const auto universe = table["universe"].value_exact<std::int64_t>())
        return std::string(kind) + " for universe " + std::to_string(*universe);
    return std::string(kind) + " " + std::to_string(number);
}

// An output, or nothing when its protocol or universe is unusable. Other problems are
// reported and replaced by defaults, so that the checks after this one still run.
std::optional<ShowOutput> readOutput(const toml::table& table, std::size_t number, ShowProblems& problems)
{
    FieldReader fields(table, partName(table, "output", number), problems,
                       {"universe", "protocol", "address", "port", "priority", "source", "interface", "broadcast",
                        "sync"});
    ShowOutput output;
    output.line = fields.line();
    const auto protocolText = fields.text("protocol", true);
    const ProtocolRules* rules = nullptr;
    for (const ProtocolRules& candidate : PROTOCOLS) {
        if (protocolText && *protocolText == candidate.name)
            rules = &candidate;
    }
    if (protocolText && !rules)
        fields.report(fields.lineOf("protocol"),
                      "unknown protocol '" + *protocolText + "' (use \"sacn\", \"artnet\" or \"ola\")");
    if (!rules)
        return std::nullopt;
    output.protocol = rules->protocol;
    const auto universe = fields.integer("universe", rules->lowestUniverse, rules->highestUniverse, true);
    const auto broadcast = fields.flag("broadcast");
    const bool toAll = broadcast.value_or(false);
    // sACN without an address goes to the universe's multicast group; Art-Net broadcasts.
    const auto address = fields.text("address", output.protocol == Protocol::ArtNet && !toAll);
    const auto port = fields.integer("port", 1, 65535, false);
    const auto priority = fields.integer("priority", 0, SacnPacket::HIGHEST_PRIORITY, false);
    const auto source = fields.text("source", false);
    const auto interfaceName = fields.text("interface", false);
    const auto sync = fields.flag("sync");
    if (address && address->empty())
        fields.report(fields.lineOf("address"), "'address' is empty");
    if (output.protocol == Protocol::Ola) {
        for (const char* key : {"interface", "broadcast", "sync"}) {
            if (fields.has(key))
                fields.report(fields.lineOf(key), std::string("'") + key + "' is for sacn and artnet outputs");
        }
    } else {
        const bool sacn = output.protocol == Protocol::Sacn;
        if (sacn && fields.has("broadcast"))
            fields.report(fields.lineOf("broadcast"), "sACN is not broadcast: leave 'address' out to send to the "
                                                      "universe's multicast group");
        if (sacn && interfaceName && address)
            fields.report(fields.lineOf("interface"), "'interface' is where multicast goes out: give it without "
                                                      "'address'");
        if (!sacn && interfaceName && !toAll)
            fields.report(fields.lineOf("interface"), "'interface' is where broadcast goes out: give it with "
                                                      "broadcast = true");
        if (!sacn && toAll && !address && !interfaceName)
            fields.report(fields.line(), "broadcast = true needs the 'interface' whose network it goes to, or a "
                                         "broadcast 'address'");
        for (const DestinationProblem& problem : checkDestination({sacn, address, interfaceName, toAll && !sacn}))
            fields.report(fields.lineOf(problem.key), problem.message);
    }
    if (output.protocol == Protocol::Ola && address && !isLocalHost(*address))
        fields.report(fields.lineOf("address"), "olad takes clients on its own machine only: leave 'address' out "
                                                "or write \"localhost\"");
    if (fields.has("priority") && output.protocol == Protocol::ArtNet)
        fields.report(fields.lineOf("priority"), "Art-Net has no priority ('priority' is for sacn and ola)");
    if (fields.has("source") && output.protocol != Protocol::Sacn)
        fields.report(fields.lineOf("source"), "only sacn outputs carry a source name");
    if (source && source->size() > SacnPacket::LONGEST_SOURCE_NAME)
        fields.report(fields.lineOf("source"), "the source name is longer than " +
                                                   std::to_string(SacnPacket::LONGEST_SOURCE_NAME) + " bytes");
    if (!universe)
        return std::nullopt;
    output.universe = static_cast<std::uint32_t>(*universe);
    output.address = address.value_or(output.protocol == Protocol::Ola ? "localhost" : "");
    output.interfaceName = interfaceName.value_or("");
    output.broadcast = toAll;
    output.sync = sync.value_or(false);
    output.port = static_cast<std::uint16_t>(port.value_or(rules->defaultPort));
    output.priority = static_cast<std::uint8_t>(priority.value_or(SacnPacket::DEFAULT_PRIORITY));
    output.source = source.value_or("");
    return output;
}

// The settings of every output: sync_universe and on_exit.
void readOutputSettings(FieldReader& top, ShowFile& show)
{
    const auto syncUniverse =
        top.integer("sync_universe", SacnPacket::LOWEST_UNIVERSE, SacnPacket::HIGHEST_UNIVERSE, false);
    show.syncUniverse = static_cast<std::uint16_t>(syncUniverse.value_or(0));
    constexpr std::pair<const char*, ShowExit> EXITS[] = {
        {"terminate", ShowExit::Terminate}, {"hold", ShowExit::Hold}, {"blackout", ShowExit::Blackout}};
    if (const auto onExit = top.text("on_exit", false)) {
        const auto* known = std::find_if(std::begin(EXITS), std::end(EXITS),
                                         [&](const auto& exit) { return *onExit == exit.first; });
        if (known != std::end(EXITS))
            show.onExit = known->second;
        else
            top.report(top.lineOf("on_exit"),
                       "unknown on_exit '" + *onExit + "' (use \"terminate\", \"hold\" or \"blackout\")");
    }
}

// The channels array of a fixture: inline tables with name, formula, width and slot. A channel
// without a name or formula is left out; other problems are reported and replaced by defaults.
void readChannels(FieldReader& fixtureFields, const std::string& context, ShowFixture& fixture, ShowProblems& problems)
{
    const toml::array* channels = fixtureFields.array("channels", true);
    if (!channels)
        return;
    if (channels->empty())
        fixtureFields.report(fixtureFields.lineOf("channels"), "'channels' is empty");
    unsigned nextSlot = 0;
    std::set<std::string> names;
    for (const toml::node& element : *channels) {
        const toml::table* table = element.as_table();
        if (!table) {
            fixtureFields.report(lineOf(element), std::string("each channel must be a table such as "
                                                              "{ name = \"dimmer\", formula = \"50\" }, not ") +
                                                      typeName(element));
            continue;
        }
        FieldReader fields(*table, context + " " + partName(*table, "channel", fixture.channels.size() + 1), problems,
                           {"name", "formula", "width", "slot"});
        const auto name = fields.text("name", true);
        const auto formula = fields.text("formula", true);
        const auto width = fields.integer("width", 8, 16, false);
        const auto slot = fields.integer("slot", 1, LAST_SLOT, false);
        unsigned channelWidth = 8;
        if (width && (*width == 8 || *width == 16))
            channelWidth = static_cast<unsigned>(*width);
        else if (width)
            fields.report(fields.lineOf("width"), "'width' must be 8 or 16");
        if (name && !names.insert(*name).second)
            fields.report(fields.lineOf("name"), "a second channel named '" + *name + "'");
        if (formula && isBlankFormula(*formula)) {
            fields.report(fields.lineOf("formula"), "the formula is empty");
            continue;
        }
        if (!name || !formula)
            continue;
        ShowChannel channel;
        channel.name = *name;
        channel.formula = *formula;
        channel.width = channelWidth;
        channel.offset = slot ? static_cast<unsigned>(*slot - 1) : nextSlot;
        channel.line = fields.lineOf("formula");
        nextSlot = channel.offset + channel.width / 8;
        fixture.channels.push_back(std::move(channel));
    }
}

std::string lowerCase(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// A formula of [fixture.formulas] for one slot of a profile's mode.
struct SlotFormula {
    std::string text;
    std::size_t line = 0;
    int strength = 0; // 0: none; 1: keyed by the channel's common name; 2: by its own name
    std::string key;
};

// "1 Dimmer (dimmer), 2 Strobe, ...": the channels of a mode by slot from 1, with common names.
std::string listModeChannels(const FixtureProfile& profile, const ProfileMode& mode)
{
    std::string text;
    for (unsigned slot = 0; slot < mode.slots.size(); ++slot) {
        const ProfileChannel& channel = profile.channelAt(mode, slot);
        text += (text.empty() ? "" : ", ") + std::to_string(slot + 1) + " " + channel.name;
        if (!channel.common.empty())
            text += " (" + channel.common + ")";
    }
    return text;
}

// The name a profile's channel has in the show (in OSC addresses and problems): its common name
// when no other channel of the mode has that, else the profile's own.
std::string showChannelName(const FixtureProfile& profile, const ProfileMode& mode, unsigned slot)
{
    const std::string& common = profile.channelAt(mode, slot).common;
    const auto sharing = std::count_if(mode.slots.begin(), mode.slots.end(), [&](const ProfileSlot& other) {
        return profile.channels[other.channel].common == common;
    });
    return !common.empty() && sharing == 1 ? common : profile.channelAt(mode, slot).name;
}

// The channels of a fixture made from a profile's mode (`profile`, `mode`, `formulas`): one per
// slot, except that a coarse channel and its fine partner (right after it or elsewhere in the
// mode) are one 16-bit channel unless the fine one has a formula of its own. A formula is keyed
// by the channel's name in the profile or by its common name, which drives every channel of the
// mode that has it; channels without a formula hold the profile's default.
void readProfileChannels(const toml::table& table, FieldReader& fields, ShowFixture& fixture, ShowProblems& problems)
{
    const auto profileName = fields.text("profile", true);
    const auto modeName = fields.text("mode", false);
    const toml::node* formulasNode = table.get("formulas");
    const toml::table* formulas = formulasNode ? formulasNode->as_table() : nullptr;
    if (formulasNode && !formulas)
        fields.report(lineOf(*formulasNode),
                      std::string("'formulas' must be a table such as { red = \"50\" }, not ") + typeName(*formulasNode));
    if (!profileName)
        return;
    fixture.profile = *profileName;
    FixtureProfile profile;
    try {
        const FixtureLibrary library;
        const std::string showDirectory = std::filesystem::path(problems.path()).parent_path().string();
        profile = loadFixtureProfile(*profileName, showDirectory, library);
    } catch (const std::exception& error) {
        fields.report(fields.lineOf("profile"), "profile '" + *profileName + "': " + error.what());
        return;
    }
    const ProfileMode* mode = modeName ? profile.findMode(*modeName) : nullptr;
    if (modeName && !mode) {
        fields.report(fields.lineOf("mode"), "profile '" + *profileName + "' has no mode '" + *modeName +
                                                 "' (its modes: " + profile.modeNames() + ")");
        return;
    }
    if (!modeName && profile.modes.size() == 1)
        mode = &profile.modes.front();
    if (!mode) {
        fields.report(fields.line(), "missing 'mode' (the modes of profile '" + *profileName +
                                         "': " + profile.modeNames() + ")");
        return;
    }
    fixture.mode = mode->name;

    const auto slotCount = static_cast<unsigned>(mode->slots.size());
    std::vector<SlotFormula> assigned(slotCount);
    const toml::table noFormulas;
    for (auto&& [key, value] : formulas ? *formulas : noFormulas) {
        const std::string keyText(key.str());
        const std::size_t keyLine = key.source().begin.line;
        if (!value.is_string()) {
            fields.report(lineOf(value), "the formula of '" + keyText + "' must be a string, not " + typeName(value));
            continue;
        }
        if (isBlankFormula(*value.value<std::string>())) {
            fields.report(lineOf(value), "the formula of '" + keyText + "' is empty");
            continue;
        }
        const std::string wanted = lowerCase(keyText);
        std::vector<unsigned> byName, byCommon;
        for (unsigned slot = 0; slot < slotCount; ++slot) {
            const ProfileChannel& channel = profile.channelAt(*mode, slot);
            if (lowerCase(channel.name) == wanted)
                byName.push_back(slot);
            else if (!channel.common.empty() && channel.common == wanted)
                byCommon.push_back(slot);
        }
        if (byName.empty() && byCommon.empty()) {
            fields.report(keyLine, "mode '" + mode->name + "' of profile '" + *profileName + "' has no channel '" +
                                       keyText + "' (its channels: " + listModeChannels(profile, *mode) + ")");
            continue;
        }
        const int strength = byName.empty() ? 1 : 2;
        for (unsigned slot : byName.empty() ? byCommon : byName) {
            SlotFormula& formula = assigned[slot];
            if (formula.strength == strength)
                fields.report(keyLine, "channel '" + profile.channelAt(*mode, slot).name + "' has two formulas, '" +
                                           formula.key + "' and '" + keyText + "'");
            if (formula.strength >= strength)
                continue;
            formula = SlotFormula{*value.value<std::string>(), lineOf(value), strength, keyText};
        }
    }

    std::set<std::string> names;
    for (unsigned slot = 0; slot < slotCount; ++slot) {
        const ProfileSlot& place = mode->slots[slot];
        const bool formulated = assigned[slot].strength > 0;
        // The fine half of a 16-bit channel, wherever its coarse half is.
        if (place.coarse && !formulated)
            continue;
        const bool wide = place.fine && assigned[*place.fine].strength == 0;
        ShowChannel channel;
        channel.name = showChannelName(profile, *mode, slot);
        if (names.contains(channel.name))
            channel.name = profile.channelAt(*mode, slot).name;
        if (names.contains(channel.name))
            channel.name += " (slot " + std::to_string(slot + 1) + ")";
        names.insert(channel.name);
        channel.width = wide ? 16 : 8;
        channel.offset = slot;
        if (wide)
            channel.fineOffset = *place.fine;
        if (formulated) {
            channel.formula = assigned[slot].text;
            channel.line = assigned[slot].line;
        } else {
            const double coarse = profile.channelAt(*mode, slot).defaultValue;
            const double percent =
                wide ? (coarse * 256 + profile.channelAt(*mode, *place.fine).defaultValue) * 100 / 65535
                     : coarse * 100 / 255;
            channel.formula = zrhost::formatNumber(percent);
            channel.line = fixture.line;
        }
        fixture.channels.push_back(std::move(channel));
    }
}

// A fixture group, or nothing when its name, universe or first slot is unusable. Other
// problems are reported and replaced by defaults, so that patch and formulas are checked too.
// A pixel map: `layout = { strip = N }`, `layout = { grid = [W, H], serpentine = true,
// start = "top-left" }` or `positions = "FILE.csv"` (relative to the show file). It gives the
// group's count, which `count` may repeat. Problems are reported and give no map.
std::optional<PixelLayout> readPixelMap(const toml::table& table, FieldReader& fields,
                                        const std::optional<std::int64_t>& count, ShowProblems& problems)
{
    const bool hasLayout = fields.has("layout");
    const bool hasPositions = fields.has("positions");
    if (!hasLayout && !hasPositions)
        return std::nullopt;
    if (hasLayout && hasPositions) {
        fields.report(fields.lineOf("positions"), "give either 'layout' or 'positions', not both");
        return std::nullopt;
    }
    PixelLayout map;
    if (hasPositions) {
        const auto file = fields.text("positions", true);
        if (!file)
            return std::nullopt;
        map.kind = PixelLayout::Kind::Positions;
        map.positionsFile = *file;
        map.line = fields.lineOf("positions");
        const std::filesystem::path path = std::filesystem::path(problems.path()).parent_path() / *file;
        std::string text;
        try {
            text = zrhost::readWholeFile(path.string());
        } catch (const zrhost::InputError& e) {
            fields.report(map.line, std::string("positions file ") + e.what());
            return std::nullopt;
        }
        std::string error;
        map.positions = parsePositions(text, error);
        if (!error.empty()) {
            fields.report(map.line, "positions file '" + *file + "', " + error);
            return std::nullopt;
        }
    } else {
        map.line = fields.lineOf("layout");
        const toml::node* node = table.get("layout");
        const toml::table* layout = node ? node->as_table() : nullptr;
        if (!layout) {
            fields.report(map.line, "'layout' must be a table such as { strip = 60 } or { grid = [16, 16] }");
            return std::nullopt;
        }
        const auto problem = [&](const std::string& message) {
            fields.report(map.line, "layout: " + message);
            return std::nullopt;
        };
        for (const auto& [key, value] : *layout)
            if (key != "strip" && key != "grid" && key != "serpentine" && key != "start")
                return problem("unknown key '" + std::string(key.str()) + "' (use strip, grid, serpentine, start)");
        const toml::node* strip = layout->get("strip");
        const toml::node* grid = layout->get("grid");
        if ((strip != nullptr) == (grid != nullptr))
            return problem("give one of strip, grid");
        const auto positive = [](const toml::node* n) -> std::optional<unsigned> {
            const auto value = n ? n->value<std::int64_t>() : std::nullopt;
            if (!value || *value < 1 || *value > 65536)
                return std::nullopt;
            return static_cast<unsigned>(*value);
        };
        if (strip) {
            const auto length = positive(strip);
            if (!length)
                return problem("strip = N, the number of pixels (1 or more)");
            if (layout->contains("serpentine") || layout->contains("start"))
                return problem("serpentine and start belong to a grid");
            map.kind = PixelLayout::Kind::Strip;
            map.width = *length;
            map.positions = stripPositions(*length);
        } else {
            const toml::array* sides = grid->as_array();
            const auto width = sides && sides->size() == 2 ? positive(sides->get(0)) : std::nullopt;
            const auto height = sides && sides->size() == 2 ? positive(sides->get(1)) : std::nullopt;
            if (!width || !height)
                return problem("grid = [WIDTH, HEIGHT], two numbers of pixels");
            map.kind = PixelLayout::Kind::Grid;
            map.width = *width;
            map.height = *height;
            if (const toml::node* serpentine = layout->get("serpentine")) {
                if (!serpentine->is_boolean())
                    return problem("serpentine = true or false");
                map.serpentine = serpentine->value_or(false);
            }
            if (const toml::node* start = layout->get("start")) {
                const std::string name = start->value_or(std::string());
                constexpr GridStart STARTS[] = {GridStart::TopLeft, GridStart::TopRight, GridStart::BottomLeft,
                                                GridStart::BottomRight};
                const auto* known = std::find_if(std::begin(STARTS), std::end(STARTS),
                                                 [&](GridStart s) { return name == gridStartName(s); });
                if (known == std::end(STARTS))
                    return problem("unknown start '" + name +
                                   "' (use \"top-left\", \"top-right\", \"bottom-left\" or \"bottom-right\")");
                map.start = *known;
            }
            map.positions = gridPositions(map.width, map.height, map.serpentine, map.start);
        }
    }
    if (count && static_cast<std::size_t>(*count) != map.positions.size()) {
        fields.report(fields.lineOf("count"), "'count' is " + std::to_string(*count) + " but the " +
                                                  (hasPositions ? "positions file has " : "layout has ") +
                                                  std::to_string(map.positions.size()));
        return std::nullopt;
    }
    return map;
}

// `spans = [ { universe = U, address = A, count = N }, ... ]`: where a group's fixtures go, in
// order (address 1 when left out). Problems are reported and give no spans.
std::vector<FixtureSpan> readSpans(const toml::table& table, const std::string& context, FieldReader& fields,
                                   ShowProblems& problems)
{
    const toml::array* list = table.get("spans") ? table.get("spans")->as_array() : nullptr;
    if (!list || list->empty()) {
        fields.report(fields.lineOf("spans"), "'spans' must be a list such as "
                                              "[ { universe = 1, address = 1, count = 170 }, { universe = 2, count = 30 } ]");
        return {};
    }
    std::vector<FixtureSpan> spans;
    bool usable = true;
    std::size_t number = 0;
    for (const toml::node& element : *list) {
        const std::string spanName = context + " span " + std::to_string(++number);
        const toml::table* entry = element.as_table();
        if (!entry) {
            problems.add(lineOf(element), spanName + ": must be a table such as { universe = 2, address = 1, count = 30 }");
            usable = false;
            continue;
        }
        FieldReader spanFields(*entry, spanName, problems, {"universe", "address", "count"});
        const auto universe = spanFields.integer("universe", 0, std::numeric_limits<std::uint32_t>::max(), true);
        const auto address = spanFields.integer("address", 1, LAST_SLOT, false);
        const auto count = spanFields.integer("count", 1, LAST_SLOT, true);
        usable = usable && universe && count && (address || !spanFields.has("address"));
        spans.push_back({static_cast<std::uint32_t>(universe.value_or(0)), static_cast<unsigned>(address.value_or(1)),
                         static_cast<unsigned>(count.value_or(0))});
    }
    return usable ? spans : std::vector<FixtureSpan>{};
}

std::optional<ShowFixture> readFixture(const toml::table& table, std::size_t number, ShowProblems& problems)
{
    const std::string context = partName(table, "fixture", number);
    FieldReader fields(table, context, problems,
                       {"name", "universe", "address", "count", "footprint", "channels", "profile", "mode", "formulas",
                        "layout", "positions", "spans"});
    ShowFixture fixture;
    fixture.line = fields.line();
    const bool hasSpans = fields.has("spans");
    if (hasSpans && (fields.has("universe") || fields.has("address")))
        fields.report(fields.lineOf("spans"), "give either 'universe' and 'address' or 'spans', not both");
    const auto name = fields.text("name", true);
    std::optional<std::int64_t> universe;
    std::optional<std::int64_t> address;
    if (hasSpans) {
        fixture.spans = readSpans(table, context, fields, problems);
        if (!fixture.spans.empty()) {
            universe = fixture.spans.front().universe;
            address = fixture.spans.front().address;
        }
    } else {
        universe = fields.integer("universe", 0, std::numeric_limits<std::uint32_t>::max(), true);
        address = fields.integer("address", 1, LAST_SLOT, true);
    }
    const auto count = fields.integer("count", 1, LAST_SLOT, false);
    const auto footprint = fields.integer("footprint", 1, LAST_SLOT, false);
    if (fields.has("profile")) {
        if (fields.has("channels"))
            fields.report(fields.lineOf("channels"), "give either 'profile' or 'channels', not both");
        readProfileChannels(table, fields, fixture, problems);
    } else {
        for (const char* key : {"mode", "formulas"}) {
            if (fields.has(key))
                fields.report(fields.lineOf(key), std::string("'") + key + "' belongs to a fixture with a 'profile'");
        }
        readChannels(fields, context, fixture, problems);
    }
    if (!name || !universe || !address)
        return std::nullopt;
    fixture.name = *name;
    fixture.universe = static_cast<std::uint32_t>(*universe);
    fixture.address = static_cast<unsigned>(*address);
    fixture.pixelMap = readPixelMap(table, fields, count, problems);
    unsigned spanned = 0;
    for (const FixtureSpan& span : fixture.spans)
        spanned += span.count;
    fixture.count = fixture.pixelMap ? static_cast<unsigned>(fixture.pixelMap->positions.size())
                                     : static_cast<unsigned>(count.value_or(hasSpans ? spanned : 1));
    if (hasSpans && spanned != fixture.count) {
        fields.report(fields.lineOf("spans"), "the spans hold " + std::to_string(spanned) + " fixtures but the group has " +
                                                  std::to_string(fixture.count));
        return std::nullopt;
    }
    unsigned needed = 0;
    for (const ShowChannel& channel : fixture.channels)
        needed = std::max(needed, channel.offset + channel.width / 8);
    fixture.footprint = static_cast<unsigned>(footprint.value_or(needed));
    if (fixture.footprint < needed) {
        fields.report(fields.lineOf("footprint"), "'footprint' is " + std::to_string(fixture.footprint) +
                                                      " but its channels need " + std::to_string(needed) + " slots");
        fixture.footprint = needed;
    }
    return fixture;
}

// Checks between parts: fixture names once each, and an output for every fixture's universe
// (among `sentUniverses`, those of every output that names one, usable or not).
void checkAcrossParts(const ShowFile& show, const std::set<std::int64_t>& sentUniverses, ShowProblems& problems)
{
    for (const ShowMidi& midi : show.midi) {
        const bool known = std::any_of(show.variables.begin(), show.variables.end(),
                                       [&](const ShowNumber& variable) { return variable.name == midi.variable; });
        if (!known)
            problems.add(midi.line, "[[midi]] sets '" + midi.variable + "', which is no [variables] entry");
    }
    std::set<std::string> names;
    for (const ShowFixture& fixture : show.fixtures) {
        if (!names.insert(fixture.name).second)
            problems.add(fixture.line, "a second fixture named '" + fixture.name + "'");
        if (!sentUniverses.contains(fixture.universe))
            problems.add(fixture.line, "fixture '" + fixture.name + "': no [[output]] sends universe " +
                                           std::to_string(fixture.universe));
    }
}

} // namespace

const char* tempoSourceName(TempoSourceKind source)
{
    for (const TempoSourceRules& rules : TEMPO_SOURCES) {
        if (rules.source == source)
            return rules.name;
    }
    return "";
}

bool isBlankFormula(std::string_view formula)
{
    return formula.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

const char* protocolName(Protocol protocol)
{
    for (const ProtocolRules& rules : PROTOCOLS) {
        if (rules.protocol == protocol)
            return rules.name;
    }
    return "?";
}

bool ShowFixture::sameLayout(const ShowFixture& other) const
{
    if (name != other.name || universe != other.universe || address != other.address || count != other.count ||
        footprint != other.footprint || channels.size() != other.channels.size() || pixelMap != other.pixelMap ||
        spans != other.spans)
        return false;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (!channels[i].sameLayout(other.channels[i]))
            return false;
    }
    return true;
}

ShowFile parseShowText(std::string_view text, const std::string& path, ShowProblems& problems)
{
    ShowFile show;
    show.path = path;
    toml::table root;
    try {
        root = toml::parse(text, path);
    } catch (const toml::parse_error& error) {
        // toml++ stops at its first syntax error; nothing after it can be checked. A string left
        // open runs into the end of its line, which toml++ reports as a control character.
        const auto& begin = error.source().begin;
        std::string description(error.description());
        if (description.find("control character") != std::string::npos ||
            description.find("string") != std::string::npos)
            description += " (is a closing quote missing?)";
        problems.add(begin.line, begin.column, description);
        return show;
    }
    if (root.empty()) {
        problems.add(0, "the show file is empty: it needs an [[output]] and a [[fixture]]");
        return show;
    }

    FieldReader top(root, "show", problems,
                    {"fps", "variables", "constants", "macros", "tempo", "midi", "output", "fixture", "sync_universe",
                     "on_exit"});
    if (const auto fps = top.number("fps", false)) {
        if (std::isfinite(*fps) && *fps > 0.0 && *fps <= MAX_FPS)
            show.fps = *fps;
        else
            top.report(top.lineOf("fps"), "'fps' must be more than 0 and at most " + zrhost::formatNumber(MAX_FPS) +
                                              ", not " + zrhost::formatNumber(*fps));
    }
    show.variables = readNumbers(root, "variables", problems);
    show.constants = readNumbers(root, "constants", problems);
    show.macros = readMacros(root, problems);
    show.tempo = readTempo(root, problems);
    const auto midiTables = tablesOf(root, "midi", problems);
    for (std::size_t i = 0; i < midiTables.size(); ++i) {
        if (auto midi = readMidi(*midiTables[i], i + 1, problems))
            show.midi.push_back(std::move(*midi));
    }
    readOutputSettings(top, show);
    std::set<std::int64_t> sentUniverses;
    const auto outputTables = tablesOf(root, "output", problems);
    for (std::size_t i = 0; i < outputTables.size(); ++i) {
        if (const auto universe = (*outputTables[i])["universe"].value_exact<std::int64_t>())
            sentUniverses.insert(*universe);
        if (auto output = readOutput(*outputTables[i], i + 1, problems))
            show.outputs.push_back(std::move(*output));
    }
    const auto fixtureTables = tablesOf(root, "fixture", problems);
    for (std::size_t i = 0; i < fixtureTables.size(); ++i) {
        if (auto fixture = readFixture(*fixtureTables[i], i + 1, problems))
            show.fixtures.push_back(std::move(*fixture));
    }
    checkAcrossParts(show, sentUniverses, problems);
    return show;
}

ShowFile readShowFile(const std::string& path, ShowProblems& problems)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        problems.add(0, "is a directory, not a show file");
        ShowFile show;
        show.path = path;
        return show;
    }
    return parseShowText(zrhost::readWholeFile(path), path, problems);
}

VariableRange sliderRange(const ShowNumber& variable)
{
    if (variable.range)
        return *variable.range;
    return std::isfinite(variable.value) ? automaticRange(variable.value) : VariableRange{};
}

std::string describeStructureChange(const ShowFile& running, const ShowFile& edited)
{
    std::vector<std::string> changes;
    if (running.fps != edited.fps)
        changes.push_back("fps");
    if (running.variables != edited.variables)
        changes.push_back("[variables]");
    if (running.constants != edited.constants)
        changes.push_back("[constants]");
    if (running.macros != edited.macros)
        changes.push_back("[macros]");
    if (running.tempo != edited.tempo)
        changes.push_back("[tempo]");
    if (running.midi != edited.midi)
        changes.push_back("[[midi]]");
    if (running.outputs != edited.outputs || running.syncUniverse != edited.syncUniverse ||
        running.onExit != edited.onExit)
        changes.push_back("the outputs");
    if (running.fixtures.size() != edited.fixtures.size()) {
        changes.push_back("the list of fixtures");
    } else {
        for (std::size_t i = 0; i < running.fixtures.size(); ++i) {
            if (!running.fixtures[i].sameLayout(edited.fixtures[i]))
                changes.push_back("fixture '" + running.fixtures[i].name + "'");
        }
    }
    std::string text;
    for (const std::string& change : changes)
        text += (text.empty() ? "" : ", ") + change;
    return text;
}

} // namespace zrshow
