// Per-frame inputs: CSV rows and audio levels written into the host's bound variables.
#include "zrhost/FrameInputs.h"

#include <algorithm>

#include "zrhost/AudioLevels.h"

namespace zrhost {

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
        levels_ = readAudioLevels(definitions.audioPath, definitions.fps);
        level_ = variables.add("level", 0.0, "level (the loudness of " + definitions.audioPath + ")");
    }
    for (const NamedNumber& var : definitions.variables)
        variables.add(var.name, var.value, var.text);
}

std::uint64_t FrameInputs::naturalFrameCount() const
{
    if (table_)
        return table_->rowCount();
    if (levels_)
        return levels_->size();
    return 1;
}

void FrameInputs::apply(std::uint64_t frame)
{
    if (table_ && table_->rowCount() > 0) {
        const std::size_t row = static_cast<std::size_t>(std::min<std::uint64_t>(frame, table_->rowCount() - 1));
        for (std::size_t k = 0; k < columns_.size(); ++k)
            *columns_[k] = table_->value(row, k);
    }
    if (levels_)
        *level_ = frame < levels_->size() ? (*levels_)[static_cast<std::size_t>(frame)] : 0.0;
}

} // namespace zrhost
