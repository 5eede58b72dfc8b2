// Percent to DMX: rounding half up and clamping, 8-bit or 16-bit coarse/fine.
#include "zrshow/outputs/DmxLevels.h"

#include <algorithm>
#include <cmath>

namespace zrshow {

namespace {

// Clamping before the conversion keeps infinities and huge values defined.
std::uint32_t levelOf(double percent, double full)
{
    return static_cast<std::uint32_t>(std::clamp(std::floor(percent * full / 100.0 + 0.5), 0.0, full));
}

} // namespace

void writeLevel(std::uint8_t* slots, unsigned width, double percent)
{
    if (width == 16) {
        writeLevel(slots, slots + 1, percent);
    } else if (!std::isnan(percent)) {
        slots[0] = static_cast<std::uint8_t>(levelOf(percent, 255.0));
    }
}

void writeLevel(std::uint8_t* coarse, std::uint8_t* fine, double percent)
{
    if (std::isnan(percent))
        return;
    const std::uint32_t level = levelOf(percent, 65535.0);
    *coarse = static_cast<std::uint8_t>(level >> 8);
    *fine = static_cast<std::uint8_t>(level & 0xFF);
}

} // namespace zrshow
