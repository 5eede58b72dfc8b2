// Per-frame inputs: CSV rows and audio levels written into the host's bound variables.
#include "zrhost/FrameInputs.h"

#include <algorithm>

#include "zrhost/AudioAnalysis.h"

namespace zrhost {

AudioVariables::AudioVariables(HostVariables& variables, const std::string& source, bool tempo)
    : level_(variables.add("level", 0.0, "level (the loudness of " + source + ")")),
      bass_(variables.add("bass", 0.0, "bass (a band of " + source + ")")),
      mid_(variables.add("mid", 0.0, "mid (a band of " + source + ")")),
      high_(variables.add("high", 0.0, "high (a band of " + source + ")"))
{
    if (tempo)
        tempo_.emplace(variables, source);
}

void AudioVariables::write(const AudioFrame& frame)
{
    *level_ = frame.level;
    *bass_ = frame.bass;
    *mid_ = frame.mid;
    *high_ = frame.high;
    if (tempo_)
        tempo_->write(frame.tempo);
}

TempoVariables::TempoVariables(HostVariables& variables, const std::string& source)
    : bpm_(variables.add("bpm", 0.0, "bpm (the tempo of " + source + ")")),
      beat_(variables.add("beat", 0.0, "beat (the beats of " + source + ")")),
      beatphase_(variables.add("beatphase", 0.0, "beatphase (the beats of " + source + ")"))
{
}

void TempoVariables::write(const TempoValues& tempo)
{
    *bpm_ = tempo.bpm;
    *beat_ = tempo.beat;
    *beatphase_ = tempo.beatphase;
}

FrameInputs::FrameInputs(const HostDefinitions& definitions, HostVariables& variables)
{
    if (!definitions.inputPath.empty()) {
        table_ = CsvTable::read(definitions.inputPath);
        for (std::size_t k = 0; k < table_->names().size(); ++k) {
            const std::string& name = table_->names()[k];
            columns_.push_back(variables.add(
                name, 0.0, name + " (column " + std::to_string(k + 1) + " of " + definitions.inputPath + ")"));
        }
    }
    if (!definitions.audioPath.empty()) {
        audio_ = readAudioFrames(definitions.audioPath, definitions.fps, definitions.beatTracker);
        audioVariables_.emplace(variables, definitions.audioPath, definitions.beatTracker != nullptr);
        if (!audio_.empty())
            afterAudio_.tempo.bpm = audio_.back().tempo.bpm;
    }
    for (const NamedNumber& var : definitions.variables)
        variables.add(var.name, var.value, var.text);
}

std::uint64_t FrameInputs::naturalFrameCount() const
{
    if (table_)
        return table_->rowCount();
    if (audioVariables_)
        return audio_.size();
    return 1;
}

void FrameInputs::apply(std::uint64_t frame)
{
    if (table_ && table_->rowCount() > 0) {
        const std::size_t row = static_cast<std::size_t>(std::min<std::uint64_t>(frame, table_->rowCount() - 1));
        for (std::size_t k = 0; k < columns_.size(); ++k)
            *columns_[k] = table_->value(row, k);
    }
    if (audioVariables_)
        audioVariables_->write(frame < audio_.size() ? audio_[static_cast<std::size_t>(frame)] : afterAudio_);
}

} // namespace zrhost
