// A pixel show at LED-wall scale, built and run through the show library as `zrsignal run`
// builds it: universes of 170 RGB pixels, one fixture group of 170 per universe, every channel a
// hue chase along the whole rig.
#include "PixelShow.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "Measure.h"
#include "zrhost/FrameClock.h"
#include "zrshow/ShowRunOptions.h"
#include "zrshow/outputs/DmxLevels.h"
#include "zrshow/show/ShowFile.h"
#include "zrshow/show/ShowHost.h"
#include "zrshow/show/ShowPatch.h"
#include "zrshow/show/ShowProblems.h"

namespace bench {

namespace {

constexpr unsigned pixelsPerUniverse = 170;
constexpr double framesPerSecond = 40.0;

// The show file: `universes` sACN outputs and fixture groups. A pixel's place along the rig,
// from 0 to just under 1, is its universe's offset plus `index`, spelled into each group's text.
std::string pixelShowText(unsigned universes)
{
    std::string text = "fps = 40\n[variables]\nhue = 0\nspeed = 1\nmaster = 100\n\n";
    for (unsigned u = 1; u <= universes; ++u)
        text += "[[output]]\nuniverse = " + std::to_string(u) + "\nprotocol = \"sacn\"\naddress = \"127.0.0.1\"\n\n";
    const unsigned pixels = universes * pixelsPerUniverse;
    for (unsigned u = 1; u <= universes; ++u) {
        const std::string position =
            "((" + std::to_string((u - 1) * pixelsPerUniverse) + " + index) / " + std::to_string(pixels) + ")";
        text += "[[fixture]]\nname = \"strip" + std::to_string(u) + "\"\nuniverse = " + std::to_string(u) +
                "\naddress = 1\ncount = " + std::to_string(pixelsPerUniverse) + "\nchannels = [\n";
        for (const char* colour : {"red", "green", "blue"}) {
            text += std::string("  { name = \"") + colour + "\", formula = \"rgb." + colour + ".hsi((hue + 100 * " +
                    position + " + 100 * speed * timer(0)) % 100, 100, master / 2)\" },\n";
        }
        text += "]\n\n";
    }
    return text;
}

} // namespace

PixelShowResult runPixelShow(const OurEngine& engine, unsigned universes, const zrshow::FormulaEngineOptions& options)
{
    const std::string text = pixelShowText(universes);
    zrshow::ShowProblems problems("pixels.toml");

    const std::size_t heapBefore = heapInUse();
    const Clock::time_point loadStart = Clock::now();
    const zrshow::ShowFile show = zrshow::parseShowText(text, "pixels.toml", problems);
    const zrshow::ShowPatch patch(show, problems);
    zrshow::ShowHost host(show, zrshow::ShowInputFiles{}, problems);
    engine.setup(host.parser());
    zrshow::FixtureFormulas formulas(show, patch, host.parser(), problems, options);
    const double loadNs = nanosecondsSince(loadStart);
    const std::size_t heapAfter = heapInUse();
    if (!problems.empty())
        throw std::runtime_error("the generated pixel show has problems");

    std::vector<zrshow::DmxSlots> slots(patch.universes().size());
    zrhost::FrameClock clock(zrhost::ClockMode::Simulated, framesPerSecond);
    std::uint64_t frame = 0;
    unsigned failures = 0;
    auto runFrame = [&] {
        clock.enterFrame(frame);
        host.beforeFrame(frame, Clock::now());
        ++frame;
        failures += formulas.evaluate(slots);
    };
    // A frame takes milliseconds: 50 to 2,000 frames within 2 s.
    const std::vector<double> frameNs = timeFrames(runFrame, {5, 50, 2000, 2.0});
    if (failures != 0)
        throw std::runtime_error("formulas of the generated pixel show failed");
    sink = sink + slots.back()[0];

    const double channels = double(patch.channels().size());
    double totalNs = 0;
    for (double ns : frameNs)
        totalNs += ns;
    return {std::size_t(channels), loadNs, double(heapAfter - heapBefore) / channels, totalNs / double(frameNs.size()),
            percentile(frameNs, 0.99)};
}

} // namespace bench
