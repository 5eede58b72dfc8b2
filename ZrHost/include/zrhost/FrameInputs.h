// The values that change from frame to frame (CSV rows, what an audio file sounds like), and
// formulas run frame after frame on them.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "zrhost/AudioAnalysis.h"
#include "zrhost/CsvTable.h"
#include "zrhost/FrameClock.h"
#include "zrhost/HostParser.h"
#include "zrparser/ZrExport.h"

namespace zrhost {

// The host variables of a tempo: "bpm", "beat" and "beatphase".
class ZR_API TempoVariables {
public:
    // Adds them to `variables`; `source` says where the tempo comes from, for the definition
    // texts ("the beats of song.wav").
    TempoVariables(HostVariables& variables, const std::string& source);

    // Writes one frame's values. Allocates nothing.
    void write(const TempoValues& tempo);

private:
    double* bpm_;
    double* beat_;
    double* beatphase_;
};

// The host variables that audio feeds: "level", "bass", "mid" and "high", and with a beat
// tracker the tempo's.
class ZR_API AudioVariables {
public:
    // Adds them to `variables`; `source` says where the audio comes from, for the definition
    // texts ("the loudness of song.wav").
    AudioVariables(HostVariables& variables, const std::string& source, bool tempo);

    // Writes one frame's values. Allocates nothing.
    void write(const AudioFrame& frame);

private:
    double* level_;
    double* bass_;
    double* mid_;
    double* high_;
    std::optional<TempoVariables> tempo_;
};

// The host variables of the definitions' inputs: one per CSV column, those of the audio file
// (see AudioVariables) and the fixed variables. Each frame writes that frame's values into them.
class ZR_API FrameInputs {
public:
    // Reads the files (throws InputError) and adds the variables to `variables`.
    FrameInputs(const HostDefinitions& definitions, HostVariables& variables);

    // The frame count when none is asked for: the CSV data rows, else the audio frames, else 1.
    std::uint64_t naturalFrameCount() const;
    // The variables the input file's columns feed, in column order; none without one.
    std::vector<std::string> inputColumns() const { return table_ ? table_->names() : std::vector<std::string>{}; }

    // Writes frame `frame`'s values. Past the last CSV row the last row's values stay; past the
    // end of the audio it is silent: level, bands and beat 0, the tempo as it last was.
    void apply(std::uint64_t frame);

private:
    std::optional<CsvTable> table_;
    std::vector<double*> columns_;
    std::vector<AudioFrame> audio_;
    std::optional<AudioVariables> audioVariables_;
    AudioFrame afterAudio_; // the frame that stands for every frame after the audio's end
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
