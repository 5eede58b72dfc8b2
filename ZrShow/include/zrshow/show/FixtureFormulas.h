// The compiled formulas of a show: one per channel of every fixture of every group, evaluated
// into DMX slots. A group's channel is one formula compiled once for all its fixtures, each
// with its own state; independent formulas share the frame's work among threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zrhost/FrameClock.h"
#include "zrhost/LibraryFailure.h"
#include "zrparser/ZrExport.h"
#include "zrparser/ZrFormulaInstances.h"
#include "zrparser/ZrParser.h"
#include "zrshow/outputs/DmxLevels.h"
#include "zrshow/show/ShowPatch.h"

namespace zrshow {

class ShowProblems;
class FrameWorkers;

// How a show's formulas are compiled and run. Every choice gives the same slot values.
struct FormulaEngineOptions {
    // Every channel in a child parser of its own, evaluated in patch order on one thread: the
    // plain way, kept as the reference the other is checked against.
    bool childParsers = false;
    // Threads that evaluate a frame, the calling one included; 0: as many as the show keeps busy
    // (one for every CHANNELS_PER_THREAD channels), up to one per core.
    unsigned threads = 1;
    // Below this many channels a thread would spend more time waking than evaluating.
    static constexpr std::size_t CHANNELS_PER_THREAD = 4096;
};

class ZR_API FixtureFormulas {
public:
    // Compiles every patched channel of `patch`, in patch order. A formula the library refuses
    // is added to `problems` once per channel of a group, with its line and the caret under the
    // failure. `host` must outlive this object.
    FixtureFormulas(const ShowFile& show, const ShowPatch& patch, ZrParser& host, ShowProblems& problems,
                    FormulaEngineOptions options = {});
    ~FixtureFormulas();
    FixtureFormulas(const FixtureFormulas&) = delete;
    FixtureFormulas& operator=(const FixtureFormulas&) = delete;

    // Evaluates every formula once and writes its level into its slots of `universes` (the
    // patch gives every slot one channel). A formula that throws keeps its slots as they were;
    // returns how many threw.
    // Formulas that share process state (the random sequence, the global memory) run one after
    // another in patch order, the others in any order on any thread: the values are those of a
    // run in patch order on one thread. Allocates nothing.
    unsigned evaluate(std::vector<DmxSlots>& universes);

    // Compiles `formula` for the channels at `positions` of the patch, as one formula with an
    // instance per position. When all compile, they replace the running ones (whose state is
    // dropped with them) and nothing is returned; otherwise the running formulas stay and the
    // failure is returned.
    std::optional<zrhost::LibraryFailure> replace(const std::vector<std::size_t>& positions, const std::string& formula);

    // The positions of every fixture of a group for one channel (fixture `fixture`, channel
    // `channel` of the show).
    std::vector<std::size_t> positionsOf(std::size_t fixture, std::size_t channel) const;

private:
    struct Running {
        ZrFormulaInstances* formula = nullptr; // null when refused
        std::size_t instance = 0;
        std::unique_ptr<ZrParser> parser;      // in the reference way: the channel's child parser
        std::size_t universe;
        unsigned slot;
        unsigned width;
        unsigned fineSlot;
        std::size_t fixture;
        std::size_t channel;
        unsigned index;
        unsigned count;
        std::optional<PixelPosition> place; // of a pixel map's fixture: its x, y and z
    };

    // A child parser of the host with the constants "index" and "count", compiled with
    // `formula`. Throws ZrParserException.
    std::unique_ptr<ZrParser> compileFor(const Running& channel, const std::wstring& formula) const;
    // Adds the channel at `position` to `formula` as its next instance. Throws ZrParserException.
    void addInstance(ZrFormulaInstances& formula, std::size_t position);
    // Drops formulas no channel runs any more and shares the channels out among the threads.
    void schedule();
    void evaluatePart(unsigned part);

    ZrParser& host_;
    FormulaEngineOptions options_;
    std::vector<Running> running_;
    std::vector<std::unique_ptr<ZrFormulaInstances>> formulas_;
    // A run of consecutive instances of one formula (or, in the reference way, of channels),
    // evaluated in one call; its positions lie at positions_[firstPosition] on.
    struct Piece {
        ZrFormulaInstances* formula;
        std::uint32_t firstInstance;
        std::uint32_t count;
        std::uint32_t firstPosition;
    };
    std::vector<std::vector<Piece>> parts_; // what each thread evaluates, in order
    std::vector<std::uint32_t> positions_;
    std::vector<std::vector<double>> levels_; // each thread's, as long as its longest piece
    std::vector<DmxSlots>* frameUniverses_ = nullptr; // this frame's
    struct alignas(64) PartFailures {
        unsigned count = 0;
    };
    std::vector<PartFailures> partFailures_;
    std::unique_ptr<FrameWorkers> workers_;
    zrhost::FrameClock::Instant instant_; // the frame's, for the workers
};

} // namespace zrshow
