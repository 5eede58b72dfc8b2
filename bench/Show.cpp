// A show: thousands of formulas, each in its own child parser linked to one host parser with
// the signal plug-in, all evaluated once per frame while the audio level pulses with the beat.
#include <algorithm>
#include <cmath>
#include <memory>

#include "Measure.h"
#include "Ours.h"
#include "zrparser/ZrFormulaInstances.h"
#include "zrsignal/CSignalPlugin.h"

namespace bench {

namespace {

constexpr double framesPerSecond = 40.0;

// The formulas of the show, cycled: generators, beat-driven counters, latches and fades,
// colour, selection and loops, reading the host's level.
const wchar_t* const mix[] = {
    L"counter(0, 7, onbeat(level))",
    L"__sin(0.1)*50+50",
    L"__fadeoutlinear(12, onbeat(level))",
    L"select(counter(0,3,onbeat(level))*33, 10, 40, 70, 100)",
    L"rgb.red.hsi(__sawtooth(0.05)*360, 100, level)",
    L"if(level > 50, 100, __triangle(0.2)*100)",
    L"latch(onbeat(level), rand())",
    L"map.sin(__sawtooth(0.02)*100)",
    L"loop(4, 1, __sin(0.1)*50+50, __triangle(0.05)*100)",
    L"scale(level, 0, 100, 20, 80)",
};

// "__timeInc()": the phase step of one frame, as the command-line host defines it.
class TimeIncrementFct final : public ZrFunctionBase<TimeIncrementFct> {
public:
    static constexpr ZrFunctionInfo info{L"__timeInc", nullptr, L"__timeInc()", L"Phase step of one frame.", 0, false, true};
    double evaluate(unsigned, const double*) override { return zr::TWO_PI / framesPerSecond; }
};

// The host parser of a show: the signal plug-in in place of the default generators and
// "rand", the frame's time step and the audio level.
struct ShowHost {
    double level = 0;
    ZrParser parser;

    explicit ShowHost(const OurEngine& engine)
    {
        registerSignalPlugin();
        makeRoomForSignalPlugin(parser);
        parser.loadPlugin(L"ZrSignalPlugin.SignalPlugin");
        parser.defineFunc(new TimeIncrementFct());
        parser.defineVar(L"level", &level);
        engine.setup(parser);
    }
};

// The audio level at `frame`: a beat every 20 frames (120 bpm at 40 fps) that jumps to about
// 95 and decays toward 10, with a few points of jitter, so that beat detectors fire and level
// comparisons change sides.
double levelAt(long frame)
{
    const double sinceBeat = double(frame % 20);
    const double jitter = double(frame * 7919 % 13) - 6.0;
    return std::clamp(10.0 + 85.0 * std::exp(-sinceBeat / 4.0) + jitter, 0.0, 100.0);
}

} // namespace

ShowResult runShow(const OurEngine& engine, std::size_t formulas, bool asInstances)
{
    ShowHost host(engine);
    std::vector<std::unique_ptr<ZrParser>> parsers;
    std::vector<std::unique_ptr<ZrFormulaInstances>> groups;
    std::vector<double> compileNs, childNs;
    parsers.reserve(formulas);
    compileNs.reserve(formulas);
    childNs.reserve(formulas);

    const std::size_t heapBefore = heapInUse();
    if (asInstances) {
        // Each text of the mix once, with an instance per formula that uses it.
        for (const wchar_t* text : mix)
            groups.push_back(std::make_unique<ZrFormulaInstances>(host.parser, text, std::vector<std::wstring>{}));
        for (std::size_t i = 0; i < formulas; ++i) {
            const Clock::time_point start = Clock::now();
            groups[i % std::size(mix)]->add({});
            compileNs.push_back(nanosecondsSince(start));
        }
        for (const auto& group : groups)
            group->shrinkToFit();
        childNs.push_back(0);
    }
    for (std::size_t i = 0; i < formulas && !asInstances; ++i) {
        const Clock::time_point start = Clock::now();
        auto child = std::make_unique<ZrParser>(host.parser.getCompiler(), host.parser.getRegistrar(), true);
        engine.setup(*child);
        childNs.push_back(nanosecondsSince(start));
        const Clock::time_point compileStart = Clock::now();
        child->compile(mix[i % std::size(mix)]);
        compileNs.push_back(nanosecondsSince(compileStart));
        parsers.push_back(std::move(child));
    }
    const std::size_t heapAfter = heapInUse();

    std::vector<double> results(asInstances ? formulas : 0);
    long frame = 0;
    auto runFrame = [&] {
        host.level = levelAt(frame++);
        double sum = 0;
        for (const auto& parser : parsers)
            sum += parser->evaluate();
        for (const auto& group : groups) {
            group->evaluate(0, group->size(), results.data());
            for (std::size_t i = 0, n = group->size(); i < n; ++i)
                sum += results[i];
        }
        sink = sink + sum;
    };
    // At least 200 frames for a meaningful 99th percentile, more while within 1.5 s.
    const std::vector<double> frameNs = timeFrames(runFrame, {20, 200, 20000, 1.5});

    const double frameMedian = median(frameNs);
    return {frameMedian / double(formulas),
            frameMedian,
            percentile(frameNs, 0.99),
            double(heapAfter - heapBefore) / double(formulas),
            median(compileNs),
            median(childNs)};
}

double showCompileNs(const OurEngine& engine, const std::wstring& text)
{
    ShowHost host(engine);
    return medianCompileNs(host.parser, text);
}

} // namespace bench
