// The frame loop and the application of queued edits.
#include "zrshow/ShowRunner.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <sstream>
#include <thread>
#include <variant>

#include "zrhost/InputError.h"
#include "zrhost/LibraryFailure.h"
#include "zrshow/FramePacer.h"
#include "zrshow/OpenOutput.h"
#include "zrshow/ShowEvents.h"
#include "zrshow/inputs/AudioInput.h"
#include "zrshow/inputs/OscInput.h"
#include "zrshow/inputs/MidiClock.h"
#include "zrshow/inputs/MidiInputs.h"
#include "zrshow/inputs/ShowReloader.h"
#include "zrshow/inputs/TapTempo.h"
#include "zrshow/outputs/SenderThread.h"
#include "zrshow/outputs/SlotCsvWriter.h"
#include "zrshow/show/FixtureFormulas.h"
#include "zrshow/show/ShowCommands.h"
#include "zrshow/show/ShowPatch.h"
#include "zrshow/show/ShowProblems.h"

namespace zrshow {

using zrhost::ClockMode;
using zrhost::InputError;
using zrhost::LibraryFailure;

namespace {

// The message for an edit whose formula the library refuses.
std::string refusal(const std::string& what, const LibraryFailure& failure)
{
    std::ostringstream text;
    text << what << ": the new formula is refused, the old one keeps running\n";
    failure.print(text);
    return text.str();
}

} // namespace

ShowRunner::ShowRunner(const ShowRunOptions& options, ShowEvents& events) : options_(options), events_(events)
{
    const ShowReloader::Stamp stamp = ShowReloader::look(options_.showPath);
    ShowProblems problems(options_.showPath);
    show_ = readShowFile(options_.showPath, problems);
    patch_ = std::make_unique<ShowPatch>(show_, problems);
    host_ = std::make_unique<ShowHost>(show_, options_.inputs, problems, [this, &problems](zrhost::HostVariables& variables) {
        return makeLiveInputs(variables, problems);
    });
    if (options_.seed)
        std::srand(*options_.seed);
    FormulaEngineOptions engine;
    engine.threads = options_.threads;
    formulas_ = std::make_unique<FixtureFormulas>(show_, *patch_, host_->parser(), problems, engine);
    openMidi(problems);
    if (!problems.empty())
        throw ShowRefused(std::move(problems));

    universes_.assign(patch_->universes().size(), DmxSlots{});
    if (host_->hasTempo()) {
        bpm_ = host_->variable("bpm");
        beat_ = host_->variable("beat");
    }
    applying_.reserve(16);
    commands_ = std::make_unique<ShowCommands>(show_, *patch_, *host_);
    if (options_.oscPort)
        osc_ = std::make_unique<OscInput>(*options_.oscPort, *commands_, edits_, events_);
    if (options_.slotRows)
        csv_ = std::make_unique<SlotCsvWriter>(options_.slotRows);
    else if (options_.sendOutputs)
        openOutputs();
    reloader_ = std::make_unique<ShowReloader>(options_.showPath, stamp, edits_, events_);
}

ShowRunner::~ShowRunner() = default;

void ShowRunner::openMidi(ShowProblems& problems)
{
    std::vector<MidiInputs::Mapping> mappings;
    for (const ShowMidi& midi : show_.midi) {
        // Like OSC, MIDI sets only variables that no input feeds.
        if (double* variable = host_->showVariable(midi.variable))
            mappings.push_back({midi, variable});
        else if (std::any_of(show_.variables.begin(), show_.variables.end(),
                             [&](const ShowNumber& known) { return known.name == midi.variable; }))
            problems.add(midi.line, "[[midi]] sets '" + midi.variable + "', which an input already feeds");
    }
    if (mappings.empty() && !midiClock_)
        return;
    if (!problems.empty())
        return; // a show that is refused opens no port
    host_->addFirstLiveInput(std::make_unique<MidiInputs>(std::move(mappings), show_.tempo.port, midiClock_));
}

void ShowRunner::openOutputs()
{
    // One identity per show file, wherever it is started from.
    const OutputIdentity identity{cidForShow(std::filesystem::absolute(options_.showPath).lexically_normal().string()),
                                  options_.sourceName, sacnSyncUniverse(show_), show_.onExit};
    const std::vector<ShowOutput> outputs = outputsAsSent(show_);
    std::vector<std::unique_ptr<DmxOutput>> sharedThread;
    std::vector<std::vector<std::unique_ptr<DmxOutput>>> ownThreads;
    for (const ShowOutput& output : outputs) {
        auto opened = openOutput(output, patch_->universeIndex(output.universe), identity);
        if (opened->mayWaitOnPeer()) {
            ownThreads.emplace_back();
            ownThreads.back().push_back(std::move(opened));
        } else {
            sharedThread.push_back(std::move(opened));
        }
    }
    // Synchronization packets follow the data packets of each frame on the same thread.
    for (auto& sync : openSyncOutputs(outputs, identity))
        sharedThread.push_back(std::move(sync));
    // Threads start only once every output has opened: nothing is sent from a show that fails.
    if (!sharedThread.empty())
        ownThreads.push_back(std::move(sharedThread));
    for (auto& threadOutputs : ownThreads)
        senders_.push_back(std::make_unique<SenderThread>(std::move(threadOutputs), universes_.size(),
                                                          statistics_.errors,
                                                          [this](const std::string& text) { events_.message(text); }));
}

void ShowRunner::finishOutputs()
{
    if (show_.onExit == ShowExit::Blackout) {
        for (const auto& sender : senders_) {
            DmxFrame& out = sender->writable();
            ++out.number;
            for (DmxSlots& slots : out.universes)
                slots.fill(0);
            sender->publish();
        }
    }
    for (const auto& sender : senders_) {
        sender->finish();
        for (const OutputDelivery& delivery : sender->deliveries()) {
            if (delivery.failed == 0)
                continue;
            statistics_.unsentPackets.fetch_add(delivery.failed, std::memory_order_relaxed);
            const std::string counted = std::to_string(delivery.failed) + " of " +
                                        std::to_string(delivery.sent + delivery.failed) + " packets not sent (" +
                                        delivery.reason + ")";
            events_.message(delivery.name + ": " + counted);
            if (delivery.sent == 0)
                undelivered_ += (undelivered_.empty() ? "" : "; ") + delivery.name + " delivered nothing: " + counted;
        }
    }
    senders_.clear();
}

void ShowRunner::run(const std::atomic<bool>& interrupted)
{
    const auto started = std::chrono::steady_clock::now();
    runFrames(options_.frames.value_or(std::numeric_limits<std::uint64_t>::max()), interrupted);
    elapsed_ = std::chrono::steady_clock::now() - started;
    finish();
}

void ShowRunner::finish()
{
    finishOutputs();
    if (csv_ && !csv_->flush())
        throw InputError("cannot write the CSV rows of the slot values");
}

void ShowRunner::runFrames(std::uint64_t count, const std::atomic<bool>& interrupted)
{
    zrhost::FrameClock clock(options_.clock, show_.fps);
    FramePacer pacer(options_.paceSimulatedClock ? ClockMode::Real : options_.clock, show_.fps, clock);
    const std::uint64_t end = nextFrame_ + std::min(count, std::numeric_limits<std::uint64_t>::max() - nextFrame_);
    for (; nextFrame_ < end && !interrupted.load(); ++nextFrame_) {
        const std::uint64_t frame = nextFrame_;
        pacer.beginFrame(frame);
        const auto begin = std::chrono::steady_clock::now();
        applyEdits();
        host_->beforeFrame(frame, begin);
        statistics_.errors.fetch_add(formulas_->evaluate(universes_), std::memory_order_relaxed);
        if (bpm_)
            statistics_.recordTempo(*bpm_, *beat_ == 1.0);
        deliver(frame);
        if (observer_)
            observer_->frameDone(frame, universes_);
        statistics_.recordFrame(std::chrono::steady_clock::now() - begin, pacer.endFrame(frame));
    }
}

void ShowRunner::deliver(std::uint64_t frame)
{
    if (csv_) {
        csv_->write(frame, patch_->universes(), universes_);
        // In real time the rows are for watching as they come.
        if (options_.clock == ClockMode::Real && !csv_->flush())
            throw InputError("cannot write the CSV rows of the slot values");
        return;
    }
    for (const auto& sender : senders_) {
        DmxFrame& out = sender->writable();
        out.number = frame;
        std::copy(universes_.begin(), universes_.end(), out.universes.begin());
        sender->publish();
    }
}

void ShowRunner::applyEdits()
{
    if (!edits_.takeAll(applying_))
        return;
    for (ShowEdit& edit : applying_)
        std::visit([this](auto& change) { apply(change); }, edit);
    applying_.clear();
}

void ShowRunner::apply(SetVariable& edit)
{
    *edit.value = edit.newValue;
}

void ShowRunner::apply(ReplaceFormula& edit)
{
    const auto failure = formulas_->replace(
        edit.group ? formulas_->positionsOf(edit.group->fixture, edit.group->channel) : std::vector{edit.position},
        edit.formula);
    if (failure) {
        statistics_.errors.fetch_add(1, std::memory_order_relaxed);
        const std::string text = refusal(edit.what, *failure);
        // The client that asked reports the refusal its own way; other refusals go to the events.
        if (edit.answer)
            edit.answer(&*failure, text);
        else
            events_.message(text);
        return;
    }
    // The group's formula text is now this one, as a reload of a file with it would make it.
    if (edit.group)
        show_.fixtures[edit.group->fixture].channels[edit.group->channel].formula = edit.formula;
    if (edit.answer)
        edit.answer(nullptr, {});
    events_.message(edit.what + ": now " + edit.formula);
}

void ShowRunner::apply(TapBeat& edit)
{
    if (tempo_)
        tempo_->tap(edit.instant);
}

void ShowRunner::apply(RequestTempo& edit)
{
    if (tempo_)
        tempo_->requestTempo(edit.bpm);
}

void ShowRunner::apply(ReadShow& edit)
{
    edit.read(*host_);
}

std::vector<std::unique_ptr<LiveInput>> ShowRunner::makeLiveInputs(zrhost::HostVariables& variables,
                                                                   ShowProblems& problems)
{
    std::vector<std::unique_ptr<LiveInput>> inputs;
    const ShowTempo& tempo = show_.tempo;
    if (options_.audioInput) {
        if (!options_.inputs.audioPath.empty())
            throw InputError("a show hears an audio file or an audio input, not both");
        // As for an audio file (ShowHost): the beats are tracked only when the tempo comes from the audio.
        const bool tempoFromAudio = tempo.source == TempoSourceKind::Unset || tempo.source == TempoSourceKind::Audio;
        inputs.push_back(std::make_unique<AudioInput>(*options_.audioInput, variables,
                                                      tempoFromAudio ? options_.inputs.beatTracker : nullptr,
                                                      options_.sourceName));
    }
    auto addTempo = [&](std::unique_ptr<TempoSource> source, const std::string& name) {
        tempo_ = source.get();
        inputs.push_back(std::make_unique<TempoInput>(std::move(source), variables, name));
    };
    switch (tempo.source) {
    case TempoSourceKind::Tap:
        addTempo(std::make_unique<TapTempo>(tempo.bpm), "taps");
        break;
    case TempoSourceKind::Link:
        if (options_.linkTempo)
            addTempo(options_.linkTempo(tempo), "the Link session");
        else
            problems.add(tempo.line, "[tempo] source \"link\": this program was built without Ableton Link");
        break;
    case TempoSourceKind::MidiClock: {
        auto clock = std::make_unique<MidiClock>();
        midiClock_ = clock.get();
        addTempo(std::move(clock), "MIDI clock");
        break;
    }
    case TempoSourceKind::Audio:
        if (options_.inputs.audioPath.empty() && !options_.audioInput)
            problems.add(tempo.line, "[tempo] source \"audio\": the show hears no audio (give it an audio file or input)");
        else if (!options_.inputs.beatTracker)
            problems.add(tempo.line, "[tempo] source \"audio\": this program was built without a beat tracker");
        break;
    case TempoSourceKind::Unset:
        break;
    }
    return inputs;
}

void ShowRunner::apply(ReloadShow& edit)
{
    // A structure change waits for a restart; the formulas of fixtures whose layout stayed as it
    // is take effect now, so that a file saved with both is not ignored until then.
    const std::string changes = describeStructureChange(show_, edit.show);
    if (!changes.empty())
        events_.structureChanged(show_.path, changes);
    for (std::size_t f = 0; f < std::min(show_.fixtures.size(), edit.show.fixtures.size()); ++f) {
        if (!show_.fixtures[f].sameLayout(edit.show.fixtures[f]))
            continue;
        for (std::size_t c = 0; c < show_.fixtures[f].channels.size(); ++c) {
            ShowChannel& running = show_.fixtures[f].channels[c];
            const ShowChannel& edited = edit.show.fixtures[f].channels[c];
            if (running.formula == edited.formula)
                continue;
            const auto positions = formulas_->positionsOf(f, c);
            const std::string what = show_.path + ":" + std::to_string(edited.line) + ": fixture '" +
                                     show_.fixtures[f].name + "' channel '" + running.name + "'";
            if (auto failure = formulas_->replace(positions, edited.formula)) {
                statistics_.errors.fetch_add(1, std::memory_order_relaxed);
                events_.message(refusal(what, *failure));
                continue;
            }
            running.formula = edited.formula;
            running.line = edited.line;
            events_.message(what + ": now " + edited.formula);
        }
    }
}

} // namespace zrshow
