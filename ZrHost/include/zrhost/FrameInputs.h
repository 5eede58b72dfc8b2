// The values that change from frame to frame (CSV rows, the loudness of an audio file), and
// formulas run frame after frame on them.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "zrhost/CsvTable.h"
#include "zrhost/FrameClock.h"
#include "zrhost/HostParser.h"
#include "zrparser/ZrExport.h"

namespace zrhost {

// The host variables of the definitions' inputs: one per CSV column, "level" for the audio file
// and the fixed variables. Each frame writes that frame's values into them.
class ZR_API FrameInputs {
public:
    // Reads the files (throws InputError) and adds the variables to `variables`.
    FrameInputs(const HostDefinitions& definitions, HostVariables& variables);

    // The frame count when none is asked for: the CSV data rows, else the audio frames, else 1.
    std::uint64_t naturalFrameCount() const;

    // Writes frame `frame`'s values. Past the last CSV row the last row's values stay; past the
    // end of the audio the level is 0.
    void apply(std::uint64_t frame);

private:
    std::optional<CsvTable> table_;
    std::vector<double*> columns_;
    std::optional<std::vector<double>> levels_;
    double* level_ = nullptr;
};

// For each frame from 0: inputs, clock, then every parser in order; consume(frame, index of
// the parser, value) receives each result.
template <class Consume>
void runFrames(const std::vector<ZrParser*>& parsers, FrameInputs& inputs, FrameClock& clock, std::uint64_t frames,
               Consume&& consume)
{
    for (std::uint64_t frame = 0; frame < frames; ++frame) {
        inputs.apply(frame);
        clock.enterFrame(frame);
        for (std::size_t i = 0; i < parsers.size(); ++i)
            consume(frame, i, parsers[i]->evaluate());
    }
}

} // namespace zrhost
