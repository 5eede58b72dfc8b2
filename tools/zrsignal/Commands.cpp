// eval, check and plot: read the inputs, set up the parsers, compile, run the frames.
#include "Commands.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "FormulaSession.h"
#include "InputError.h"
#include "NumberText.h"
#include "SvgPlot.h"
#include "ValueWriters.h"

namespace zrsignal {

namespace {

// A session with every expression compiled; inputs are read first so a bad file is reported
// before any expression.
std::unique_ptr<FormulaSession> compileSession(const DefinitionOptions& definitions, std::optional<unsigned> seed,
                                               const std::vector<std::string>& expressions)
{
    auto session = std::make_unique<FormulaSession>(definitions, expressions.size());
    if (seed)
        std::srand(*seed);
    const auto hints = definitions.wantsHints() ? std::optional(VariableSources::CommandLine) : std::nullopt;
    for (std::size_t i = 0; i < expressions.size(); ++i)
        session->compile(i, expressions[i], hints);
    return session;
}

} // namespace

int runEval(RunOptions& options, const std::string& expression)
{
    options.finish();
    auto session = compileSession(options.definitions, options.seed, {expression});
    const std::uint64_t frames = options.frames.value_or(session->inputs().naturalFrameCount());

    FrameClock clock(options.clock, options.definitions.fps);
    OutputBuffer out(stdout);
    auto writer = makeValueWriter(options.format, out, expression, options.definitions.fps);
    writer->begin();
    runFrames(session->parsers(), session->inputs(), clock, frames, [&](std::uint64_t frame, std::size_t, double value) {
        writer->write(frame, value);
        if (clock.isRealTime())
            out.flush();
    });
    writer->end();
    if (!out.flush())
        throw InputError("cannot write the values to standard output");
    return 0;
}

int runCheck(DefinitionOptions& options, const std::string& expression)
{
    options.finish();
    auto session = compileSession(options, std::nullopt, {expression});
    ZrParser& parser = session->parser(0);
    if (parser.isConstant())
        std::cout << "constant " << formatNumber(parser.evaluate()) << '\n';
    else
        std::cout << "ok\n";
    return 0;
}

int runPlot(RunOptions& options, const std::vector<std::string>& expressions, const std::string& outputPath,
            std::string title)
{
    options.finish();
    if (expressions.empty())
        throw InputError("plot: give an expression, or --expr once per curve");
    auto session = compileSession(options.definitions, options.seed, expressions);
    const std::uint64_t frames = options.frames.value_or(session->inputs().naturalFrameCount());

    std::vector<PlotSeries> series;
    const bool titleGiven = !title.empty();
    for (const std::string& expression : expressions) {
        series.push_back({expression, {}});
        series.back().values.reserve(static_cast<std::size_t>(frames));
        if (!titleGiven)
            title += (title.empty() ? "" : " | ") + expression;
    }
    FrameClock clock(options.clock, options.definitions.fps);
    runFrames(session->parsers(), session->inputs(), clock, frames,
              [&](std::uint64_t, std::size_t index, double value) { series[index].values.push_back(value); });

    std::ofstream file(outputPath, std::ios::binary);
    file << renderSvgPlot(series, options.definitions.fps, title);
    file.close();
    if (!file)
        throw InputError(outputPath + ": cannot write the plot");
    return 0;
}

} // namespace zrsignal
