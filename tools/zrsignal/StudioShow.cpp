// A show on its own thread for the studio, its frames fanned out to the page's event streams.
#include "StudioShow.h"

#include <future>
#include <variant>

#include "ErrorReport.h"
#include "OscCommands.h"
#include "ShowConsole.h"
#include "ShowHost.h"
#include "ShowPatch.h"
#include "StudioJson.h"
#include "ValueWriters.h"

namespace zrsignal {

namespace {

// How long the page waits for the frame loop to take an edit: many frames, even at a low fps.
constexpr std::chrono::seconds EDIT_WAIT{5};

} // namespace

void FrameFeed::frameDone(std::uint64_t frame, const std::vector<DmxSlots>& universes)
{
    {
        const std::lock_guard lock(mutex_);
        latest_.number = frame;
        latest_.universes.assign(universes.begin(), universes.end()); // allocates only the first time
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

FrameFeed::Next FrameFeed::next(std::uint64_t& seen, DmxFrame& into, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return closed_ || finished_ || published_ > seen; });
    if (closed_)
        return Next::Closed;
    if (published_ > seen) {
        seen = published_;
        into.number = latest_.number;
        into.universes = latest_.universes;
        return Next::Frame;
    }
    return finished_ ? Next::Finished : Next::Quiet;
}

StudioShow::StudioShow(const ShowRunOptions& options, ShowConsole& console)
    : runner_(std::make_unique<ShowRunner>(options, console))
{
    names_ = FormulaNames::of(runner_->host().parser());
    // Every fixture's formula also has these two constants (see FixtureFormulas).
    names_.constants.push_back("index");
    names_.constants.push_back("count");
    layout_ = describeLayout(options);
    runner_->observe(&feed_);
    thread_ = std::thread([this, &console] {
        try {
            runner_->run(stop_);
        } catch (const std::exception& e) {
            console.message(std::string("zrsignal serve: the show stopped: ") + e.what());
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

std::string StudioShow::describeLayout(const ShowRunOptions& options) const
{
    const ShowFile& show = runner_->show();
    const ShowPatch& patch = runner_->patch();
    std::string json = "{\"path\":" + jsonString(show.path) + ",\"fps\":" + jsonNumber(show.fps) + ",\"frames\":" +
                       (options.frames ? std::to_string(*options.frames) : std::string("null")) +
                       ",\"sending\":" + (options.sendOutputs ? "true" : "false") + ",\"universes\":[";
    for (std::size_t u = 0; u < patch.universes().size(); ++u)
        json += (u > 0 ? "," : "") + std::to_string(patch.universes()[u]);
    json += "],\"outputs\":[";
    for (std::size_t o = 0; o < show.outputs.size(); ++o) {
        const ShowOutput& output = show.outputs[o];
        json += std::string(o > 0 ? "," : "") + "{\"universe\":" + std::to_string(output.universe) +
                ",\"protocol\":" + jsonString(protocolName(output.protocol)) +
                ",\"address\":" + jsonString(output.address) + "}";
    }
    json += "],\"variables\":[";
    for (std::size_t v = 0; v < show.variables.size(); ++v) {
        const ShowNumber& variable = show.variables[v];
        json += std::string(v > 0 ? "," : "") + "{\"name\":" + jsonString(variable.name) +
                ",\"value\":" + jsonNumber(variable.value) +
                ",\"settable\":" + (runner_->host().showVariable(variable.name) ? "true" : "false") + "}";
    }
    json += "],\"fixtures\":[";
    for (std::size_t f = 0; f < show.fixtures.size(); ++f) {
        const ShowFixture& fixture = show.fixtures[f];
        json += std::string(f > 0 ? "," : "") + "{\"name\":" + jsonString(fixture.name) +
                ",\"count\":" + std::to_string(fixture.count) + ",\"channels\":[";
        for (std::size_t c = 0; c < fixture.channels.size(); ++c) {
            const ShowChannel& channel = fixture.channels[c];
            json += std::string(c > 0 ? "," : "") + "{\"name\":" + jsonString(channel.name) +
                    ",\"formula\":" + jsonString(channel.formula) + ",\"width\":" + std::to_string(channel.width) + "}";
        }
        // Where each fixture of the group has each channel, as the patch placed it.
        json += "],\"instances\":[";
        for (unsigned index = 0; index < fixture.count; ++index) {
            std::string slots;
            std::size_t universe = 0;
            for (const PatchedChannel& placed : patch.channels()) {
                if (placed.fixture != f || placed.index != index)
                    continue;
                slots += (slots.empty() ? "" : ",") + std::to_string(placed.slot);
                universe = placed.universe;
            }
            json += std::string(index > 0 ? "," : "") + "{\"index\":" + std::to_string(index) +
                    ",\"universe\":" + std::to_string(universe) + ",\"slots\":[" + slots + "]}";
        }
        json += "]}";
    }
    return json + "]}";
}

std::string StudioShow::edit(const std::string& address, const std::optional<std::string>& formula,
                             std::optional<double> value)
{
    OscMessage message{address, '\0', 0.0, {}};
    if (formula) {
        message.type = 's';
        message.text = *formula;
    } else if (value) {
        message.type = 'd';
        message.number = *value;
    }
    auto interpreted = runner_->commands().interpret(message, OscSender{"studio", ""});
    if (auto* why = std::get_if<std::string>(&interpreted))
        return "{\"error\":" + jsonString(address + ": " + *why) + "}";
    if (!running_)
        return "{\"error\":\"the show has ended, so it takes no more changes\"}";
    ShowEdit& change = std::get<ShowEdit>(interpreted);
    auto* replace = std::get_if<ReplaceFormula>(&change);
    if (!replace) {
        runner_->queue(std::move(change));
        return "{\"ok\":true}";
    }
    // The page, not OSC, hears about the result.
    replace->replyTo.reset();
    auto outcome = std::make_shared<std::promise<std::optional<LibraryFailure>>>();
    auto applied = outcome->get_future();
    replace->applied = [outcome](const LibraryFailure* failure) {
        outcome->set_value(failure ? std::optional<LibraryFailure>(*failure) : std::nullopt);
    };
    runner_->queue(std::move(change));
    if (applied.wait_for(EDIT_WAIT) != std::future_status::ready)
        return "{\"error\":\"the show did not take the change in time; it may have ended\"}";
    std::optional<LibraryFailure> failure = applied.get();
    if (!failure)
        return "{\"ok\":true}";
    addFormulaHints(*failure, names_, VariableSources::Show);
    return "{\"refused\":" + failureJson(*failure, suggestionsFor(hintSubjectOf(*failure), names_)) + "}";
}

} // namespace zrsignal
