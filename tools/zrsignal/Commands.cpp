// eval, check and plot: read the inputs, set up the parsers, compile, run the frames.
#include "Commands.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "FrameRunner.h"
#include "InputError.h"
#include "NumberText.h"
#include "SvgPlot.h"
#include "ValueWriters.h"

namespace zrsignal {

namespace {

// Parsers for `expressions`, all bound to the same host variables; inputs are read first so a
// bad file is reported before any expression.
struct CompiledSession {
    HostVariables variables;
    std::unique_ptr<FrameInputs> inputs;
    std::vector<std::unique_ptr<ZrParser>> parsers;

    std::vector<ZrParser*> parserList() const
    {
        std::vector<ZrParser*> list;
        for (const auto& parser : parsers)
            list.push_back(parser.get());
        return list;
    }
};

std::unique_ptr<CompiledSession> compileSession(const DefinitionOptions& definitions, std::optional<unsigned> seed,
                                                const std::vector<std::string>& expressions)
{
    auto session = std::make_unique<CompiledSession>();
    session->inputs = std::make_unique<FrameInputs>(definitions, session->variables);
    for (std::size_t i = 0; i < expressions.size(); ++i)
        session->parsers.push_back(makeHostParser(definitions, session->variables));
    if (seed)
        std::srand(*seed);
    for (std::size_t i = 0; i < expressions.size(); ++i)
        compileExpression(*session->parsers[i], expressions[i]);
    return session;
}

} // namespace

int runEval(RunOptions& options, const std::string& expression)
{
    options.finish();
    auto session = compileSession(options.definitions, options.seed, {expression});
    const std::uint64_t frames = options.frames.value_or(session->inputs->naturalFrameCount());

    FrameClock clock(options.clock, options.definitions.fps);
    OutputBuffer out(stdout);
    auto writer = makeValueWriter(options.format, out, expression, options.definitions.fps);
    writer->begin();
    runFrames(session->parserList(), *session->inputs, clock, frames, [&](std::uint64_t frame, std::size_t, double value) {
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
    ZrParser& parser = *session->parsers.front();
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
    const std::uint64_t frames = options.frames.value_or(session->inputs->naturalFrameCount());

    std::vector<PlotSeries> series;
    const bool titleGiven = !title.empty();
    for (const std::string& expression : expressions) {
        series.push_back({expression, {}});
        series.back().values.reserve(static_cast<std::size_t>(frames));
        if (!titleGiven)
            title += (title.empty() ? "" : " | ") + expression;
    }
    FrameClock clock(options.clock, options.definitions.fps);
    runFrames(session->parserList(), *session->inputs, clock, frames,
              [&](std::uint64_t, std::size_t index, double value) { series[index].values.push_back(value); });

    std::ofstream file(outputPath, std::ios::binary);
    file << renderSvgPlot(series, options.definitions.fps, title);
    file.close();
    if (!file)
        throw InputError(outputPath + ": cannot write the plot");
    return 0;
}

} // namespace zrsignal
