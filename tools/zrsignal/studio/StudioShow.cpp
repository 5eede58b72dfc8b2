// A show on its own thread for the studio, its frames fanned out to the page's event streams.
#include "studio/StudioShow.h"

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

} // namespace

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
        variables.push_back({{"name", variable.name},
                             {"value", jsonNumber(variable.value)},
                             {"settable", runner_->host().showVariable(variable.name) != nullptr}});
    }
    Json fixtures = Json::array();
    for (std::size_t f = 0; f < show.fixtures.size(); ++f) {
        const zrshow::ShowFixture& fixture = show.fixtures[f];
        Json channels = Json::array();
        for (const zrshow::ShowChannel& channel : fixture.channels)
            channels.push_back({{"name", channel.name}, {"formula", channel.formula}, {"width", channel.width}});
        // Where each fixture of the group has each channel, as the patch placed it.
        Json instances = Json::array();
        for (unsigned index = 0; index < fixture.count; ++index) {
            Json slots = Json::array();
            std::size_t universe = 0;
            for (const zrshow::PatchedChannel& placed : patch.channels()) {
                if (placed.fixture != f || placed.index != index)
                    continue;
                slots.push_back(placed.slot);
                universe = placed.universe;
            }
            instances.push_back({{"index", index}, {"universe", universe}, {"slots", std::move(slots)}});
        }
        fixtures.push_back({{"name", fixture.name},
                            {"count", fixture.count},
                            {"channels", std::move(channels)},
                            {"instances", std::move(instances)}});
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

} // namespace zrsignal
