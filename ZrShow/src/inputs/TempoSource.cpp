// A tempo source's values written into the show's variables.
#include "zrshow/inputs/TempoSource.h"

namespace zrshow {

TempoInput::TempoInput(std::unique_ptr<TempoSource> source, zrhost::HostVariables& variables, const std::string& name)
    : source_(std::move(source)), variables_(variables, name)
{
}

void TempoInput::beforeFrame(std::uint64_t, std::chrono::steady_clock::time_point instant)
{
    variables_.write(source_->tempoAt(instant));
}

} // namespace zrshow
