// Fuzz target: a show file from the input, read, patched, compiled and run for a few frames in
// both ways a show can run its formulas (a child parser per channel, and one formula per group
// channel on two threads). A bad file is a list of problems, never a crash, and both ways must
// write the same slots; a difference aborts, so the fuzzer reports it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "zrhost/FrameClock.h"
#include "zrmachinecode/ZrMachineCode.h"
#include "zrparser/ZrSignalBuiltins.h"
#include "zrshow/show/FixtureFormulas.h"
#include "zrshow/show/ShowHost.h"
#include "zrshow/show/ShowPatch.h"
#include "zrshow/show/ShowProblems.h"

namespace {

constexpr int FRAMES = 4;
// Larger shows only slow the search down (a pixel wall of 80,000 channels takes a minute to
// compile under the sanitizers); the speed of large shows is the benchmarks' concern.
constexpr std::size_t MAX_CHANNELS = 4096;

// The slots of every frame, or nothing when the show is refused.
std::vector<zrshow::DmxSlots> runShow(const std::string& text, const zrshow::FormulaEngineOptions& options)
{
    zrshow::ShowProblems problems("fuzz.toml");
    const zrshow::ShowFile show = zrshow::parseShowText(text, "fuzz.toml", problems);
    if (!problems.empty())
        return {};
    const zrshow::ShowPatch patch(show, problems);
    if (patch.channels().size() > MAX_CHANNELS)
        return {};
    zrshow::ShowHost host(show, zrshow::ShowInputFiles{}, problems);
    std::srand(1);
    for (unsigned id = 0; id < zr::GLOBAL_MEMORY_SLOTS; ++id)
        zr::globalMemorySlot(id)->store(0.0);
    zrshow::FixtureFormulas formulas(show, patch, host.parser(), problems, options);
    if (!problems.empty())
        return {};
    zrhost::FrameClock clock(zrhost::ClockMode::Simulated, show.fps);
    std::vector<zrshow::DmxSlots> universes(patch.universes().size());
    std::vector<zrshow::DmxSlots> frames;
    for (int frame = 0; frame < FRAMES; ++frame) {
        clock.enterFrame(static_cast<std::uint64_t>(frame));
        host.beforeFrame(static_cast<std::uint64_t>(frame), std::chrono::steady_clock::now());
        formulas.evaluate(universes);
        frames.insert(frames.end(), universes.begin(), universes.end());
    }
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = zr::useMachineCode();
    (void)ready;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto reference = runShow(text, {.childParsers = true, .threads = 1});
    if (runShow(text, {.childParsers = false, .threads = 2}) != reference) {
        std::fprintf(stderr, "one formula per group channel writes other slots than a child parser per channel\n");
        std::abort();
    }
    return 0;
}
