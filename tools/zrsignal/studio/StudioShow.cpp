// A show on its own thread for the studio, its frames fanned out to the page's frame streams,
// and the layout the page draws the rig from.
#include "studio/StudioShow.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <future>
#include <variant>

#include "cli/ShowConsole.h"
#include "zrhost/LibraryFailure.h"
#include "zrshow/show/ShowCommands.h"
#include "zrshow/show/ShowHost.h"
#include "zrshow/show/ShowPatch.h"

namespace zrsignal {

using zrhost::failureJson;
using zrhost::Json;
using zrhost::jsonNumber;
using zrhost::LibraryFailure;
using zrshow::DmxFrame;
using zrshow::DmxSlots;

namespace {

// How long the page waits for the frame loop to take an edit: many frames, even at a low fps.
constexpr std::chrono::seconds EDIT_WAIT{5};

// Where the user of the show pane defines variables: the show file, and serve's input options.
const zrhost::HintWording& showHints()
{
    static const zrhost::HintWording wording{
        "define {name} under [variables] in the show file ({name} = 0), or feed it from a column of --input FILE.csv",
        "define level under [variables] in the show file (level = 0), or feed it with --audio FILE or --audio-in (the "
        "loudness of the sound) or a column of --input FILE.csv",
        "zrsignal list WORD finds functions by name or by words of the description",
    };
    return wording;
}

// Where the show's tempo comes from, for the page; null when it has none.
Json tempoJson(const zrshow::ShowFile& show, const zrshow::ShowHost& host)
{
    if (!host.hasTempo())
        return nullptr;
    const bool fromAudio = show.tempo.source == zrshow::TempoSourceKind::Unset;
    return {{"source", fromAudio ? "audio" : zrshow::tempoSourceName(show.tempo.source)},
            {"tappable", show.tempo.source == zrshow::TempoSourceKind::Tap}};
}

Json errorJson(const std::string& message)
{
    return {{"error", message}};
}

void appendLittleEndian(std::string& into, std::uint64_t value, unsigned bytes)
{
    for (unsigned i = 0; i < bytes; ++i)
        into.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void appendDouble(std::string& into, double value)
{
    appendLittleEndian(into, std::bit_cast<std::uint64_t>(value), 8);
}

// Groups of more fixtures than this without a pixel map are drawn as a square, not one row.
constexpr unsigned LONGEST_AUTOMATIC_ROW = 256;

// The picture a group makes in the rig view: `columns` × `rows` cells, and each fixture's cell.
struct GroupPicture {
    unsigned columns = 1;
    unsigned rows = 1;
    std::vector<unsigned> cells; // column, row, by index
};

GroupPicture pictureOf(const zrshow::ShowFixture& fixture)
{
    using Kind = zrshow::PixelLayout::Kind;
    GroupPicture picture;
    const unsigned count = fixture.count;
    const auto* map = fixture.pixelMap ? &*fixture.pixelMap : nullptr;
    if (map && map->kind == Kind::Strip) {
        picture.columns = std::max(1u, count);
    } else if (map && map->kind == Kind::Grid) {
        picture = {std::max(1u, map->width), std::max(1u, map->height), {}};
    } else {
        // No map, or free positions: about a square of cells, or a row for a small group.
        const auto side = static_cast<unsigned>(std::ceil(std::sqrt(static_cast<double>(count))));
        picture.columns = map || count > LONGEST_AUTOMATIC_ROW ? std::max(1u, side) : std::max(1u, count);
        picture.rows = map ? picture.columns : (count + picture.columns - 1) / picture.columns;
        picture.rows = std::max(1u, picture.rows);
    }
    picture.cells.reserve(2 * std::size_t(count));
    const auto cellOf = [](double at, unsigned cells) {
        return static_cast<unsigned>(std::clamp(std::lround(at * (cells - 1)), 0L, long(cells) - 1));
    };
    for (unsigned index = 0; index < count; ++index) {
        if (map && index < map->positions.size()) {
            picture.cells.push_back(cellOf(map->positions[index].x, picture.columns));
            picture.cells.push_back(cellOf(map->positions[index].y, picture.rows));
        } else {
            picture.cells.push_back(index % picture.columns);
            picture.cells.push_back(index / picture.columns);
        }
    }
    return picture;
}

} // namespace

void encodeFrameMessage(FrameMessage kind, const StudioFrame& frame, std::string& into)
{
    const bool withSlots = kind == FrameMessage::Frame;
    const std::size_t universes = withSlots ? frame.dmx.universes.size() : 0;
    into.clear();
    appendLittleEndian(into, FRAME_MESSAGE_HEADER - 4 + universes * zrshow::DMX_SLOT_COUNT, 4);
    into.push_back(static_cast<char>(kind));
    into.push_back(static_cast<char>(withSlots && frame.hasTempo ? 1 : 0));
    appendLittleEndian(into, universes, 2);
    appendLittleEndian(into, 0, 4);
    appendDouble(into, withSlots ? static_cast<double>(frame.dmx.number) : 0.0);
    const bool tempo = withSlots && frame.hasTempo;
    appendDouble(into, tempo ? frame.tempo.bpm : 0.0);
    appendDouble(into, tempo ? frame.tempo.beat : 0.0);
    appendDouble(into, tempo ? frame.tempo.beatphase : 0.0);
    for (std::size_t u = 0; u < universes; ++u) {
        const zrshow::DmxSlots& slots = frame.dmx.universes[u];
        into.append(reinterpret_cast<const char*>(slots.data()), slots.size());
    }
}

std::string channelRole(const std::string& name)
{
    std::string lower;
    for (char c : name)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    const auto hasWord = [&](std::string_view word) {
        for (std::size_t at = lower.find(word); at != std::string::npos; at = lower.find(word, at + 1)) {
            const bool startsWord = at == 0 || !std::isalpha(static_cast<unsigned char>(lower[at - 1]));
            const std::size_t end = at + word.size();
            const bool endsWord = end == lower.size() || !std::isalpha(static_cast<unsigned char>(lower[end]));
            if (startsWord && endsWord)
                return true;
        }
        return false;
    };
    // Fine halves, and channels about how something moves rather than where ("Pan/Tilt Speed").
    for (std::string_view other : {"fine", "lsb", "speed", "time"}) {
        if (hasWord(other))
            return {};
    }
    static constexpr std::pair<std::string_view, std::string_view> SHORT[] = {
        {"r", "red"}, {"g", "green"}, {"b", "blue"}, {"w", "white"}, {"a", "amber"}, {"dim", "dimmer"}};
    for (const auto& [shortName, role] : SHORT) {
        if (lower == shortName)
            return std::string(role);
    }
    // The role its words name: "Dimmer Intensity" is a dimmer, "Red LED" red; none when they
    // name two ("Red/Green").
    static constexpr std::pair<std::string_view, std::string_view> WORDS[] = {
        {"red", "red"},       {"green", "green"},   {"blue", "blue"},         {"white", "white"},
        {"amber", "amber"},   {"dimmer", "dimmer"}, {"intensity", "dimmer"},  {"master", "dimmer"},
        {"pan", "pan"},       {"tilt", "tilt"},
    };
    std::string_view found;
    for (const auto& [word, role] : WORDS) {
        if (!hasWord(word) || role == found)
            continue;
        if (!found.empty())
            return {};
        found = role;
    }
    return std::string(found);
}

void FrameFeed::followTempo(const double* bpm, const double* beat, const double* beatphase)
{
    bpm_ = bpm;
    beat_ = beat;
    beatphase_ = beatphase;
}

void FrameFeed::frameDone(std::uint64_t frame, const std::vector<DmxSlots>& universes)
{
    {
        const std::lock_guard lock(mutex_);
        latest_.dmx.number = frame;
        latest_.dmx.universes.assign(universes.begin(), universes.end()); // allocates only the first time
        latest_.hasTempo = bpm_ != nullptr;
        if (bpm_)
            latest_.tempo = {*bpm_, *beat_, *beatphase_};
        ++published_;
    }
    changed_.notify_all();
}

void FrameFeed::finish()
{
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
    }
    changed_.notify_all();
}

void FrameFeed::close()
{
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

FrameFeed::Next FrameFeed::next(std::uint64_t& seen, StudioFrame& into, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return closed_ || finished_ || published_ > seen; });
    if (closed_)
        return Next::Closed;
    if (published_ > seen) {
        seen = published_;
        into = latest_;
        return Next::Frame;
    }
    return finished_ ? Next::Finished : Next::Quiet;
}

StudioShow::StudioShow(const zrshow::ShowRunOptions& options, ShowConsole& console)
    : runner_(std::make_unique<zrshow::ShowRunner>(options, console)), console_(console)
{
    names_ = zrhost::FormulaNames::of(runner_->host().parser());
    // Every fixture's formula also has these two constants (see FixtureFormulas).
    names_.constants.push_back("index");
    names_.constants.push_back("count");
    layout_ = describeLayout(options);
    for (const zrshow::ShowNumber& constant : runner_->show().constants)
        definitions_.constants.push_back({constant.name, constant.value, constant.name});
    for (const zrshow::ShowMacro& macro : runner_->show().macros)
        definitions_.macros.push_back({macro.prototype, macro.body, macro.prototype + "=" + macro.body});
    const zrshow::ShowHost& host = runner_->host();
    if (host.hasTempo())
        feed_.followTempo(host.variable("bpm"), host.variable("beat"), host.variable("beatphase"));
    runner_->observe(&feed_);
    thread_ = std::thread([this] {
        try {
            runner_->run(stop_);
        } catch (const std::exception& e) {
            console_.message(std::string("zrsignal serve: the show stopped: ") + e.what());
        }
        running_ = false;
        feed_.finish();
    });
}

StudioShow::~StudioShow()
{
    stop_ = true;
    thread_.join();
}

Json StudioShow::describeLayout(const zrshow::ShowRunOptions& options) const
{
    const zrshow::ShowFile& show = runner_->show();
    const zrshow::ShowPatch& patch = runner_->patch();
    Json outputs = Json::array();
    for (const zrshow::ShowOutput& output : show.outputs) {
        outputs.push_back({{"universe", output.universe},
                           {"protocol", zrshow::protocolName(output.protocol)},
                           {"address", output.address}});
    }
    Json variables = Json::array();
    for (const zrshow::ShowNumber& variable : show.variables) {
        const zrshow::VariableRange range = zrshow::sliderRange(variable);
        variables.push_back({{"name", variable.name},
                             {"value", jsonNumber(variable.value)},
                             {"min", jsonNumber(range.min)},
                             {"max", jsonNumber(range.max)},
                             {"step", range.step ? jsonNumber(*range.step) : Json(nullptr)},
                             {"settable", runner_->host().showVariable(variable.name) != nullptr}});
    }
    // Where each group's fixtures start, in one pass over the patch: a pixel show has tens of
    // thousands of channels. A channel lies at the fixture's first slot plus its offset.
    std::vector<std::vector<std::size_t>> at(show.fixtures.size());
    for (std::size_t f = 0; f < show.fixtures.size(); ++f)
        at[f].assign(2 * std::size_t(show.fixtures[f].count), 0);
    for (const zrshow::PatchedChannel& placed : patch.channels()) {
        if (placed.channel != 0)
            continue;
        const unsigned first = placed.slot - show.fixtures[placed.fixture].channels[0].offset;
        at[placed.fixture][2 * placed.index] = placed.universe;
        at[placed.fixture][2 * placed.index + 1] = first;
    }
    Json fixtures = Json::array();
    for (std::size_t f = 0; f < show.fixtures.size(); ++f) {
        const zrshow::ShowFixture& fixture = show.fixtures[f];
        Json channels = Json::array();
        for (const zrshow::ShowChannel& channel : fixture.channels) {
            const std::string role = channelRole(channel.name);
            Json described = {{"name", channel.name},
                              {"formula", channel.formula},
                              {"width", channel.width},
                              {"offset", channel.offset},
                              {"role", role.empty() ? Json(nullptr) : Json(role)}};
            if (channel.width == 16)
                described["fine"] = channel.fineSlotOffset();
            channels.push_back(std::move(described));
        }
        GroupPicture picture = pictureOf(fixture);
        fixtures.push_back({{"name", fixture.name},
                            {"count", fixture.count},
                            {"channels", std::move(channels)},
                            {"mapped", fixture.pixelMap.has_value()},
                            {"columns", picture.columns},
                            {"rows", picture.rows},
                            {"cells", std::move(picture.cells)},
                            {"at", std::move(at[f])}});
    }
    return {
        {"path", show.path},
        {"fps", jsonNumber(show.fps)},
        {"frames", options.frames ? Json(*options.frames) : Json(nullptr)},
        {"sending", options.sendOutputs},
        {"universes", patch.universes()},
        {"tempo", tempoJson(show, runner_->host())},
        {"outputs", std::move(outputs)},
        {"variables", std::move(variables)},
        {"fixtures", std::move(fixtures)},
    };
}

Json StudioShow::edit(const std::string& address, const std::optional<std::string>& formula, std::optional<double> value)
{
    zrshow::ShowArgument argument;
    if (formula)
        argument = *formula;
    else if (value)
        argument = *value;
    auto interpreted = runner_->commands().interpret(address, argument);
    if (auto* why = std::get_if<std::string>(&interpreted))
        return errorJson(address + ": " + *why);
    if (!running_)
        return errorJson("the show has ended, so it takes no more changes");
    zrshow::ShowEdit& change = std::get<zrshow::ShowEdit>(interpreted);
    auto* replace = std::get_if<zrshow::ReplaceFormula>(&change);
    if (!replace) {
        runner_->queue(std::move(change));
        return {{"ok", true}};
    }
    // The page hears about the result; the console too.
    auto outcome = std::make_shared<std::promise<std::optional<LibraryFailure>>>();
    auto applied = outcome->get_future();
    replace->answer = [outcome, this](const LibraryFailure* failure, const std::string& refusal) {
        outcome->set_value(failure ? std::optional<LibraryFailure>(*failure) : std::nullopt);
        if (failure)
            console_.message(refusal);
    };
    runner_->queue(std::move(change));
    if (applied.wait_for(EDIT_WAIT) != std::future_status::ready)
        return errorJson("the show did not take the change in time; it may have ended");
    std::optional<LibraryFailure> failure = applied.get();
    if (!failure)
        return {{"ok", true}};
    zrhost::addFormulaHints(*failure, names_, showHints());
    return {{"refused", failureJson(*failure, zrhost::suggestionsFor(zrhost::hintSubjectOf(*failure), names_))}};
}

ShowNames StudioShow::names()
{
    ShowNames names = definitions_;
    auto values = std::make_shared<std::promise<std::vector<zrhost::NamedNumber>>>();
    auto copied = values->get_future();
    if (running_) {
        runner_->queue(zrshow::ReadShow{[values](const zrshow::ShowHost& host) { values->set_value(host.variableValues()); }});
        // The frame loop takes it before its next frame, unless the show ends first.
        const auto deadline = std::chrono::steady_clock::now() + EDIT_WAIT;
        while (copied.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready && running_ &&
               std::chrono::steady_clock::now() < deadline) {
        }
    }
    if (copied.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        names.variables = copied.get();
    else if (!running_) // the frame loop has ended: nothing writes the values any more
        names.variables = runner_->host().variableValues();
    return names;
}

} // namespace zrsignal
