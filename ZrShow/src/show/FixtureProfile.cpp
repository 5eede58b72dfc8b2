// Fixture definition files read with libxml2: channels with their presets, defaults and
// groups, modes with their slots and heads, and the coarse/fine pairs a mode holds.
#include "zrshow/show/FixtureProfile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "zrhost/FileText.h"

namespace zrshow {

namespace {

constexpr const char* DEFAULT_FIXTURE_DIRECTORY = "/usr/share/qlcplus/fixtures";
constexpr const char* FIXTURE_DIRECTORY_VARIABLE = "ZR_FIXTURE_DIR";
constexpr const char* FIXTURES_MAP = "FixturesMap.xml";
// A definition is some kilobytes; the largest of the library are under a megabyte.
constexpr std::size_t MAX_PROFILE_SIZE = 16u << 20;

void initialiseXmlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

struct DocumentDeleter {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
struct ContextDeleter {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
using Document = std::unique_ptr<xmlDoc, DocumentDeleter>;

std::string lowered(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

// Names compared as people type them: without case, '_' as ' ', '-' as ' '.
std::string normalised(std::string_view text)
{
    std::string result = lowered(text);
    for (char& c : result) {
        if (c == '_' || c == '-')
            c = ' ';
    }
    return result;
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

// The first error libxml2 meets, which says where the file goes wrong; the ones after it
// follow from it.
struct FirstError {
    bool found = false;
    int line = 0;
    std::string message;
};

// The error's type in the structured handler, which libxml2 2.12 made const.
template <class>
struct SecondParameter;
template <class Result, class First, class Second>
struct SecondParameter<Result (*)(First, Second)> {
    using type = Second;
};

void keepFirstError(void* data, SecondParameter<xmlStructuredErrorFunc>::type error)
{
    // The parser's user data is the parser itself.
    auto* first = static_cast<FirstError*>(static_cast<xmlParserCtxt*>(data)->_private);
    if (!first || first->found || !error || error->level < XML_ERR_ERROR)
        return;
    first->found = true;
    first->line = error->line;
    first->message = error->message ? trimmed(error->message) : "not well-formed XML";
}

// The well-formed document of `text`, or ProfileError with the line where libxml2 stops.
// Nothing is printed: errors go to the parser's own handler.
Document parseXml(std::string_view text, const std::string& path)
{
    initialiseXmlOnce();
    if (text.size() > MAX_PROFILE_SIZE)
        throw ProfileError(path + ": larger than " + std::to_string(MAX_PROFILE_SIZE >> 20) + " MB, no fixture definition");
    std::unique_ptr<xmlParserCtxt, ContextDeleter> context(xmlNewParserCtxt());
    if (!context || !context->sax)
        throw ProfileError(path + ": out of memory");
    FirstError first;
    context->_private = &first;
    context->sax->serror = keepFirstError;
    Document document(xmlCtxtReadMemory(context.get(), text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                            XML_PARSE_BIG_LINES));
    if (!document || first.found) {
        if (!first.found)
            first.message = "not well-formed XML";
        throw ProfileError(path + (first.line > 0 ? ":" + std::to_string(first.line) : std::string()) + ": " +
                           first.message);
    }
    return document;
}

bool isElement(const xmlNode* node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, BAD_CAST name) == 0;
}

std::optional<std::string> attribute(const xmlNode* node, const char* name)
{
    xmlChar* value = xmlGetProp(node, BAD_CAST name);
    if (!value)
        return std::nullopt;
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

std::string content(const xmlNode* node)
{
    xmlChar* value = xmlNodeGetContent(node);
    if (!value)
        return {};
    std::string text = trimmed(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

std::size_t lineOf(const xmlNode* node)
{
    const long line = xmlGetLineNo(node);
    return line > 0 ? static_cast<std::size_t>(line) : 0;
}

[[noreturn]] void fail(const std::string& path, const xmlNode* node, const std::string& message)
{
    const std::size_t line = lineOf(node);
    throw ProfileError(path + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + message);
}

// A whole number from `low` to `high`, or nothing.
std::optional<long> wholeNumber(const std::string& text, long low, long high)
{
    const std::string digits = trimmed(text);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        digits.size() > 9)
        return std::nullopt;
    const long value = std::stol(digits);
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

struct PresetName {
    const char* preset;
    const char* common;
};

// The presets with a meaning a formula can drive, and the names formulas give them. Each fine
// preset pairs with the coarse one of the same name without " fine".
constexpr PresetName PRESETS[] = {
    {"IntensityMasterDimmer", "dimmer"},   {"IntensityMasterDimmerFine", "dimmer fine"},
    {"IntensityDimmer", "dimmer"},         {"IntensityDimmerFine", "dimmer fine"},
    {"IntensityRed", "red"},               {"IntensityRedFine", "red fine"},
    {"IntensityGreen", "green"},           {"IntensityGreenFine", "green fine"},
    {"IntensityBlue", "blue"},             {"IntensityBlueFine", "blue fine"},
    {"IntensityWhite", "white"},           {"IntensityWhiteFine", "white fine"},
    {"IntensityAmber", "amber"},           {"IntensityAmberFine", "amber fine"},
    {"IntensityUV", "uv"},                 {"IntensityUVFine", "uv fine"},
    {"IntensityCyan", "cyan"},             {"IntensityCyanFine", "cyan fine"},
    {"IntensityMagenta", "magenta"},       {"IntensityMagentaFine", "magenta fine"},
    {"IntensityYellow", "yellow"},         {"IntensityYellowFine", "yellow fine"},
    {"IntensityLime", "lime"},             {"IntensityLimeFine", "lime fine"},
    {"IntensityIndigo", "indigo"},         {"IntensityIndigoFine", "indigo fine"},
    {"IntensityHue", "hue"},               {"IntensityHueFine", "hue fine"},
    {"IntensitySaturation", "saturation"}, {"IntensitySaturationFine", "saturation fine"},
    {"IntensityLightness", "lightness"},   {"IntensityLightnessFine", "lightness fine"},
    {"IntensityValue", "value"},           {"IntensityValueFine", "value fine"},
    {"PositionPan", "pan"},                {"PositionPanFine", "pan fine"},
    {"PositionTilt", "tilt"},              {"PositionTiltFine", "tilt fine"},
    {"PositionXAxis", "x"},                {"PositionYAxis", "y"},
    {"BeamZoomSmallBig", "zoom"},          {"BeamZoomBigSmall", "zoom"},
    {"BeamZoomFine", "zoom fine"},         {"BeamFocusNearFar", "focus"},
    {"BeamFocusFarNear", "focus"},         {"BeamFocusFine", "focus fine"},
    {"ShutterIrisMinToMax", "iris"},       {"ShutterIrisMaxToMin", "iris"},
    {"ShutterIrisFine", "iris fine"},
};

// The colours an older definition gives an intensity channel (<Colour>).
constexpr const char* COLOURS[] = {"Red",  "Green", "Blue", "White", "Amber", "UV",
                                   "Cyan", "Magenta", "Yellow", "Lime", "Indigo"};

// The common name of a channel without a known preset, from its <Group Byte=...> and <Colour>.
std::string commonNameOfGroup(const std::string& group, bool fine, const std::string& colour)
{
    std::string base;
    if (group == "Pan" || group == "Tilt") {
        base = lowered(group);
    } else if (group == "Intensity") {
        base = "dimmer";
        for (const char* known : COLOURS) {
            if (colour == known)
                base = lowered(known);
        }
    }
    if (base.empty())
        return {};
    return fine ? base + " fine" : base;
}

constexpr std::string_view FINE_SUFFIX = " fine";

// Pairs each fine channel of a mode with a coarse one of the same common name: of the same
// head if it can, the nearest before it, else the nearest after.
void pairCoarseAndFine(const FixtureProfile& profile, ProfileMode& mode)
{
    const auto count = static_cast<unsigned>(mode.slots.size());
    for (unsigned fine = 0; fine < count; ++fine) {
        const std::string& common = profile.channelAt(mode, fine).common;
        if (common.size() <= FINE_SUFFIX.size() || !common.ends_with(FINE_SUFFIX))
            continue;
        const std::string coarseName = common.substr(0, common.size() - FINE_SUFFIX.size());
        std::optional<unsigned> best;
        unsigned bestScore = std::numeric_limits<unsigned>::max();
        for (unsigned coarse = 0; coarse < count; ++coarse) {
            if (coarse == fine || mode.slots[coarse].fine || profile.channelAt(mode, coarse).common != coarseName)
                continue;
            unsigned score = coarse < fine ? fine - coarse : count + (coarse - fine);
            if (mode.slots[coarse].head != mode.slots[fine].head)
                score += 2 * count;
            if (score < bestScore) {
                bestScore = score;
                best = coarse;
            }
        }
        if (best) {
            mode.slots[*best].fine = fine;
            mode.slots[fine].coarse = *best;
        }
    }
}

ProfileChannel readChannel(const xmlNode* node, const std::string& path)
{
    ProfileChannel channel;
    channel.line = lineOf(node);
    const auto name = attribute(node, "Name");
    if (!name || trimmed(*name).empty())
        fail(path, node, "a <Channel> without a Name");
    channel.name = trimmed(*name);
    if (const auto value = attribute(node, "Default")) {
        const auto number = wholeNumber(*value, 0, 255);
        if (!number)
            fail(path, node, "channel '" + channel.name + "': Default is '" + *value + "', not a whole number from 0 to 255");
        channel.defaultValue = static_cast<std::uint8_t>(*number);
    }
    if (const auto preset = attribute(node, "Preset"))
        channel.common = commonNameOfPreset(*preset);
    if (channel.common.empty()) {
        std::string group, colour;
        bool fine = false;
        for (const xmlNode* child = node->children; child; child = child->next) {
            if (isElement(child, "Group")) {
                group = content(child);
                fine = attribute(child, "Byte").value_or("0") == "1";
            } else if (isElement(child, "Colour")) {
                colour = content(child);
            }
        }
        channel.common = commonNameOfGroup(group, fine, colour);
    }
    return channel;
}

ProfileMode readMode(const xmlNode* node, const FixtureProfile& profile, const std::map<std::string, std::size_t>& byName,
                     const std::string& path)
{
    ProfileMode mode;
    mode.line = lineOf(node);
    const auto name = attribute(node, "Name");
    if (!name || trimmed(*name).empty())
        fail(path, node, "a <Mode> without a Name");
    mode.name = *name;
    std::vector<const xmlNode*> channels;
    std::vector<const xmlNode*> heads;
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (isElement(child, "Channel"))
            channels.push_back(child);
        else if (isElement(child, "Head"))
            heads.push_back(child);
    }
    const std::string context = "mode '" + mode.name + "'";
    constexpr std::size_t NONE = static_cast<std::size_t>(-1);
    std::vector<std::size_t> slots(channels.size(), NONE);
    for (const xmlNode* channel : channels) {
        const std::string number = attribute(channel, "Number").value_or("");
        const auto slot = wholeNumber(number, 0, static_cast<long>(channels.size()) - 1);
        if (!slot)
            fail(path, channel, context + ": channel Number '" + number + "' is not from 0 to " +
                                    std::to_string(channels.size() - 1));
        if (slots[static_cast<std::size_t>(*slot)] != NONE)
            fail(path, channel, context + ": a second channel numbered " + number);
        const std::string channelName = content(channel);
        const auto found = byName.find(channelName);
        if (found == byName.end())
            fail(path, channel, context + ": channel " + number + " is '" + channelName +
                                    "', which the file does not define");
        slots[static_cast<std::size_t>(*slot)] = found->second;
    }
    for (std::size_t channel : slots)
        mode.slots.push_back(ProfileSlot{channel, -1, std::nullopt, std::nullopt});
    for (const xmlNode* head : heads) {
        for (const xmlNode* child = head->children; child; child = child->next) {
            if (!isElement(child, "Channel"))
                continue;
            const std::string number = content(child);
            const auto slot = wholeNumber(number, 0, static_cast<long>(channels.size()) - 1);
            if (!slot)
                fail(path, child, context + ": head " + std::to_string(mode.heads + 1) + " names channel '" + number +
                                      "', not one from 0 to " + std::to_string(static_cast<long>(channels.size()) - 1));
            mode.slots[static_cast<std::size_t>(*slot)].head = static_cast<int>(mode.heads);
        }
        ++mode.heads;
    }
    pairCoarseAndFine(profile, mode);
    return mode;
}

FixtureProfile readProfile(const xmlDoc* document, const std::string& path)
{
    const xmlNode* root = xmlDocGetRootElement(document);
    if (!root || !isElement(root, "FixtureDefinition"))
        throw ProfileError(path + (root ? ":" + std::to_string(lineOf(root)) : std::string()) +
                           ": no fixture definition (the root element is not <FixtureDefinition>)");
    FixtureProfile profile;
    profile.path = path;
    std::map<std::string, std::size_t> byName;
    std::vector<const xmlNode*> modes;
    for (const xmlNode* child = root->children; child; child = child->next) {
        if (isElement(child, "Manufacturer")) {
            profile.manufacturer = content(child);
        } else if (isElement(child, "Model")) {
            profile.model = content(child);
        } else if (isElement(child, "Type")) {
            profile.type = content(child);
        } else if (isElement(child, "Channel")) {
            ProfileChannel channel = readChannel(child, path);
            // A name defined twice: modes name the first.
            byName.emplace(channel.name, profile.channels.size());
            profile.channels.push_back(std::move(channel));
        } else if (isElement(child, "Mode")) {
            modes.push_back(child);
        }
    }
    for (const xmlNode* mode : modes)
        profile.modes.push_back(readMode(mode, profile, byName, path));
    if (profile.modes.empty())
        throw ProfileError(path + ":" + std::to_string(lineOf(root)) + ": the fixture definition has no <Mode>");
    return profile;
}

// The entries of FixturesMap.xml: <M n="MAKER"><F n="FILE" m="MODEL"/></M>, for files there are.
void readFixturesMap(const std::string& directory, std::vector<FixtureLibrary::Entry>& entries)
{
    const std::string path = directory + "/" + FIXTURES_MAP;
    const Document document = parseXml(zrhost::readWholeFile(path), path);
    const xmlNode* root = xmlDocGetRootElement(document.get());
    if (!root)
        return;
    for (const xmlNode* maker = root->children; maker; maker = maker->next) {
        if (!isElement(maker, "M"))
            continue;
        const std::string makerDirectory = attribute(maker, "n").value_or("");
        for (const xmlNode* fixture = maker->children; fixture; fixture = fixture->next) {
            if (!isElement(fixture, "F"))
                continue;
            FixtureLibrary::Entry entry;
            entry.maker = makerDirectory;
            std::replace(entry.maker.begin(), entry.maker.end(), '_', ' ');
            entry.model = attribute(fixture, "m").value_or("");
            entry.path = directory + "/" + makerDirectory + "/" + attribute(fixture, "n").value_or("") + ".qxf";
            std::error_code ignored;
            if (!makerDirectory.empty() && std::filesystem::is_regular_file(entry.path, ignored))
                entries.push_back(std::move(entry));
        }
    }
}

// The model a definition file names, or nothing when it cannot be read.
std::optional<std::string> modelOfFile(const std::string& path)
{
    try {
        const Document document = parseXml(zrhost::readWholeFile(path), path);
        const xmlNode* root = xmlDocGetRootElement(document.get());
        if (!root || !isElement(root, "FixtureDefinition"))
            return std::nullopt;
        for (const xmlNode* child = root->children; child; child = child->next) {
            if (isElement(child, "Model"))
                return content(child);
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

} // namespace

std::string commonNameOfPreset(std::string_view preset)
{
    for (const PresetName& known : PRESETS) {
        if (preset == known.preset)
            return known.common;
    }
    return {};
}

const ProfileMode* FixtureProfile::findMode(std::string_view name) const
{
    for (const ProfileMode& mode : modes) {
        if (mode.name == name)
            return &mode;
    }
    const std::string wanted = lowered(trimmed(name));
    for (const ProfileMode& mode : modes) {
        if (lowered(trimmed(mode.name)) == wanted)
            return &mode;
    }
    return nullptr;
}

std::string FixtureProfile::modeNames() const
{
    std::string text;
    for (const ProfileMode& mode : modes)
        text += (text.empty() ? "\"" : ", \"") + mode.name + "\"";
    return text;
}

FixtureProfile parseFixtureProfile(std::string_view text, const std::string& path)
{
    const Document document = parseXml(text, path);
    return readProfile(document.get(), path);
}

FixtureProfile readFixtureProfile(const std::string& path)
{
    std::string text;
    try {
        text = zrhost::readWholeFile(path);
    } catch (const std::exception& error) {
        throw ProfileError(error.what());
    }
    return parseFixtureProfile(text, path);
}

FixtureLibrary::FixtureLibrary(std::string directory) : directory_(std::move(directory)) {}

std::string FixtureLibrary::defaultDirectory()
{
    const char* directory = std::getenv(FIXTURE_DIRECTORY_VARIABLE);
    return directory && *directory ? directory : DEFAULT_FIXTURE_DIRECTORY;
}

std::string FixtureLibrary::installAdvice()
{
    return std::string("install QLC+'s fixture library (on Debian and Ubuntu: apt install qlcplus-data), or set ") +
           FIXTURE_DIRECTORY_VARIABLE + " to a directory of MAKER/MODEL.qxf files";
}

bool FixtureLibrary::exists() const
{
    std::error_code ignored;
    return std::filesystem::is_directory(directory_, ignored);
}

const std::vector<FixtureLibrary::Entry>& FixtureLibrary::entries() const
{
    if (entries_)
        return *entries_;
    std::vector<Entry> entries;
    std::error_code error;
    if (std::filesystem::is_regular_file(directory_ + "/" + FIXTURES_MAP, error))
        readFixturesMap(directory_, entries);
    // Files the map does not list (added by hand, or no map at all): their models from themselves.
    std::set<std::string> listed;
    for (const Entry& entry : entries)
        listed.insert(entry.path);
    std::filesystem::directory_iterator makers(directory_, error);
    for (; !error && makers != std::filesystem::directory_iterator(); makers.increment(error)) {
        if (!makers->is_directory(error))
            continue;
        std::filesystem::directory_iterator files(makers->path(), error);
        for (; !error && files != std::filesystem::directory_iterator(); files.increment(error)) {
            const std::filesystem::path& file = files->path();
            const std::string path = directory_ + "/" + makers->path().filename().string() + "/" + file.filename().string();
            if (file.extension() != ".qxf" || listed.contains(path))
                continue;
            if (const auto model = modelOfFile(path)) {
                std::string maker = makers->path().filename().string();
                std::replace(maker.begin(), maker.end(), '_', ' ');
                entries.push_back(Entry{maker, *model, path});
            }
        }
        error.clear();
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const std::string makerA = lowered(a.maker), makerB = lowered(b.maker);
        return makerA != makerB ? makerA < makerB : lowered(a.model) < lowered(b.model);
    });
    entries_ = std::move(entries);
    return *entries_;
}

const FixtureLibrary::Entry* FixtureLibrary::find(std::string_view makerAndModel) const
{
    const std::string wanted = normalised(trimmed(makerAndModel));
    // Makers and models may hold '/' themselves: every split is tried.
    for (const Entry& entry : entries()) {
        const std::string maker = normalised(entry.maker) + "/";
        if (!wanted.starts_with(maker))
            continue;
        const std::string model = wanted.substr(maker.size());
        const std::string file = normalised(std::filesystem::path(entry.path).stem().string());
        if (model == normalised(entry.model) || model == file || model == file + ".qxf")
            return &entry;
    }
    return nullptr;
}

std::vector<const FixtureLibrary::Entry*> FixtureLibrary::search(std::string_view pattern) const
{
    const std::string wanted = normalised(trimmed(pattern));
    std::vector<const Entry*> found;
    for (const Entry& entry : entries()) {
        if (normalised(entry.maker + "/" + entry.model).find(wanted) != std::string::npos)
            found.push_back(&entry);
    }
    return found;
}

FixtureProfile loadFixtureProfile(const std::string& name, const std::string& baseDirectory,
                                  const FixtureLibrary& library)
{
    if (lowered(name).ends_with(".qxf")) {
        std::filesystem::path path(name);
        if (path.is_relative() && !baseDirectory.empty())
            path = std::filesystem::path(baseDirectory) / path;
        return readFixtureProfile(path.string());
    }
    if (!library.exists())
        throw ProfileError("the fixture library " + library.directory() + " is not there: " +
                           FixtureLibrary::installAdvice());
    if (const FixtureLibrary::Entry* entry = library.find(name))
        return readFixtureProfile(entry->path);
    // Some models of that name, to help with a misspelt maker or model.
    const auto slash = name.rfind('/');
    const std::string model = slash == std::string::npos ? name : name.substr(slash + 1);
    std::string similar;
    std::size_t shown = 0;
    for (const FixtureLibrary::Entry* entry : library.search(model)) {
        if (++shown > 5)
            break;
        similar += (similar.empty() ? "" : ", ") + ("\"" + entry->maker + "/" + entry->model + "\"");
    }
    throw ProfileError("no profile '" + name + "' in " + library.directory() +
                       (similar.empty() ? std::string(" (write \"Maker/Model\")") : " (similar: " + similar + ")"));
}

} // namespace zrshow
