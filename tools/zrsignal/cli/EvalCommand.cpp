// eval: the values of one formula, frame after frame, on stdout.
#include "cli/EvalCommand.h"

#include <cstdio>

#include <CLI/CLI.hpp>

#include "cli/FormulaCommand.h"
#include "cli/ValueWriters.h"
#include "zrhost/FrameInputs.h"
#include "zrhost/InputError.h"

namespace zrsignal {

EvalCommand::EvalCommand(CLI::App& parent)
    : Command(parent, "eval", "Evaluate EXPR frame after frame, one value per frame on stdout")
{
}

void EvalCommand::addOptions()
{
    addRunOptions(app(), options_);
    addFormatOption(app(), options_);
    app().add_option("EXPR", expression_, "The formula")->required();
}

int EvalCommand::run()
{
    auto session = compileFormulas(options_.definitions, options_.seed, {expression_});
    const std::uint64_t frames = options_.frames.value_or(session->inputs().naturalFrameCount());
    const double fps = options_.definitions.fps;

    zrhost::FrameClock clock(options_.clock, fps);
    zrhost::OutputBuffer out(stdout);
    auto writer = makeValueWriter(options_.format, out, expression_, fps);
    writer->begin();
    zrhost::runFrames(session->parsers(), session->inputs(), clock, frames,
                      [&](std::uint64_t frame, std::size_t, double value) {
                          writer->write(frame, value);
                          if (clock.isRealTime())
                              out.flush();
                      });
    writer->end();
    if (!out.flush())
        throw zrhost::InputError("cannot write the values to standard output");
    return 0;
}

} // namespace zrsignal
