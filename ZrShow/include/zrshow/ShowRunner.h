// A running show: the frame loop that evaluates every fixture's formulas, turns them into DMX
// slots and hands them to the outputs, and applies live edits between two frames.
//
// Threads: the frame loop runs on the caller's thread. It never waits on the network and
// allocates nothing in a frame without edits: each sender thread gets the newest frame through
// a lock-free triple buffer (SenderThread) and does the sending; OSC messages arrive on the OSC
// thread and file changes on the watcher thread, which check them and queue edits (EditQueue);
// the loop looks at that queue with one atomic load per frame and, when edits wait, compiles
// and swaps them in before the frame. Compiling allocates, so a frame that takes an edit may be
// slow; it is then counted like any other slow frame. Audio from a sound card arrives on
// PortAudio's thread through a lock-free ring (AudioInput), drained before each frame.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zrparser/ZrExport.h"
#include "zrshow/ShowRunOptions.h"
#include "zrshow/outputs/DmxLevels.h"
#include "zrshow/show/ShowEdits.h"
#include "zrshow/show/ShowFile.h"
#include "zrshow/show/ShowHost.h"
#include "zrshow/show/ShowStatistics.h"

namespace zrshow {

class FixtureFormulas;
class MidiClock;
class OscInput;
class SenderThread;
class ShowCommands;
class ShowEvents;
class ShowPatch;
class ShowProblems;
class ShowReloader;
class SlotCsvWriter;

// Sees every frame the loop makes, on the loop's thread, after it went to the outputs.
class ZR_API FrameObserver {
public:
    virtual ~FrameObserver() = default;
    virtual void frameDone(std::uint64_t frame, const std::vector<DmxSlots>& universes) = 0;
};

class ZR_API ShowRunner {
public:
    // Reads and checks the show, compiles every formula, then opens the OSC port, the outputs
    // (or the CSV rows) and the file watcher, in that order: a show that cannot run stops
    // before anything is sent. Throws ShowRefused (every problem of the file), InputError or
    // LibraryFailure. `events` must outlive the runner.
    ShowRunner(const ShowRunOptions& options, ShowEvents& events);
    ~ShowRunner();
    ShowRunner(const ShowRunner&) = delete;
    ShowRunner& operator=(const ShowRunner&) = delete;

    // Runs frames until the frame count is reached or `interrupted` becomes true, then ends the
    // outputs as the show's on_exit says (a blackout frame, the end of each sACN stream) and
    // reports every output that could not send some of its packets. Throws InputError when the
    // CSV rows cannot be written.
    void run(const std::atomic<bool>& interrupted);

    // For a host that runs the show in steps of its own (a script): `count` more frames, numbered
    // on from those run before, so the simulated clock and the input files go on where they
    // stopped; the outputs stay open until finish(), which ends them as run() does.
    void runFrames(std::uint64_t count, const std::atomic<bool>& interrupted);
    void finish();
    // Between steps, never while frames run: applies the queued edits now, as the next frame
    // would before it is evaluated, so the host learns at once whether a formula is refused.
    void applyQueuedEdits() { applyEdits(); }

    // After run(): the outputs that could not send a single packet, and why; empty when every
    // output delivered. A front end ends such a run with a failure.
    const std::string& undelivered() const { return undelivered_; }

    // Before run(): `observer` sees every frame from then on; it must outlive the run.
    void observe(FrameObserver* observer) { observer_ = observer; }
    // Checks what a client asks against the show's names and makes the edit. Any thread.
    const ShowCommands& commands() const { return *commands_; }
    // Queues an edit for the next frame. Any thread.
    void queue(ShowEdit edit) { edits_.push(std::move(edit)); }
    // Before run() only: the frame loop changes the show's formula texts on reloads and group
    // edits, and uses the host's parser.
    const ShowFile& show() const { return show_; }
    ShowHost& host() { return *host_; }
    const ShowPatch& patch() const { return *patch_; }

    ShowStatistics& statistics() { return statistics_; }
    std::chrono::duration<double> elapsed() const { return elapsed_; }

private:
    void applyEdits();
    void apply(SetVariable& edit);
    void apply(ReplaceFormula& edit);
    void apply(ReloadShow& edit);
    void apply(TapBeat& edit);
    void apply(RequestTempo& edit);
    void apply(ReadShow& edit);
    std::vector<std::unique_ptr<LiveInput>> makeLiveInputs(zrhost::HostVariables& variables, ShowProblems& problems);
    void deliver(std::uint64_t frame);
    void openOutputs();
    void finishOutputs();
    void openMidi(ShowProblems& problems);

    ShowRunOptions options_;
    ShowEvents& events_;
    ShowFile show_; // as running: formula texts follow the reloads that were applied
    std::unique_ptr<ShowPatch> patch_;
    std::unique_ptr<ShowHost> host_;
    TempoSource* tempo_ = nullptr;   // the show's tempo source, when it is a live input
    const double* bpm_ = nullptr;    // the show's tempo, when it has one, for the statistics
    const double* beat_ = nullptr;
    MidiClock* midiClock_ = nullptr; // the tempo source, when it is MIDI clock
    std::unique_ptr<FixtureFormulas> formulas_;
    std::vector<DmxSlots> universes_; // the slot values, kept from frame to frame
    ShowStatistics statistics_;
    std::unique_ptr<SlotCsvWriter> csv_;
    std::vector<std::unique_ptr<SenderThread>> senders_;
    EditQueue edits_;
    std::vector<ShowEdit> applying_;
    std::unique_ptr<ShowCommands> commands_;
    FrameObserver* observer_ = nullptr;
    std::unique_ptr<OscInput> osc_;
    std::unique_ptr<ShowReloader> reloader_;
    std::uint64_t nextFrame_ = 0;
    std::chrono::duration<double> elapsed_{0};
    std::string undelivered_;
};

} // namespace zrshow
