// plot: every expression over the same frames, written as one SVG file.
#include "cli/PlotCommand.h"

#include <fstream>

#include <CLI/CLI.hpp>

#include "cli/FormulaCommand.h"
#include "cli/SvgPlot.h"
#include "zrhost/FrameInputs.h"
#include "zrhost/InputError.h"

namespace zrsignal {

PlotCommand::PlotCommand(CLI::App& parent)
    : Command(parent, "plot", "Evaluate like eval and draw the values over time as an SVG chart")
{
}

void PlotCommand::addOptions()
{
    addRunOptions(app(), options_);
    app().add_option("--output,-o", outputPath_, "The SVG file to write")->required()->type_name("FILE.svg");
    app().add_option("--expr", expressions_, "A further curve (repeatable)")->type_name("EXPR")->allow_extra_args(false);
    app().add_option("--title", title_, "Chart title (default: the expressions)");
    app().add_option("EXPR", expression_, "The formula");
}

int PlotCommand::run()
{
    std::vector<std::string> expressions = expressions_;
    if (!expression_.empty())
        expressions.insert(expressions.begin(), expression_);
    options_.definitions.definitions(); // the options are checked before anything else
    if (expressions.empty())
        throw zrhost::InputError("plot: give an expression, or --expr once per curve");
    auto session = compileFormulas(options_.definitions, options_.seed, expressions);
    const std::uint64_t frames = options_.frames.value_or(session->inputs().naturalFrameCount());

    std::vector<PlotSeries> series;
    std::string title = title_;
    for (const std::string& expression : expressions) {
        series.push_back({expression, {}});
        series.back().values.reserve(static_cast<std::size_t>(frames));
        if (title_.empty())
            title += (title.empty() ? "" : " | ") + expression;
    }
    const double fps = options_.definitions.fps;
    zrhost::FrameClock clock(options_.clock, fps);
    zrhost::runFrames(session->parsers(), session->inputs(), clock, frames,
                      [&](std::uint64_t, std::size_t index, double value) { series[index].values.push_back(value); });

    std::ofstream file(outputPath_, std::ios::binary);
    file << renderSvgPlot(series, fps, title);
    file.close();
    if (!file)
        throw zrhost::InputError(outputPath_ + ": cannot write the plot");
    return 0;
}

} // namespace zrsignal
