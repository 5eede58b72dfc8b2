// Percent to DMX: rounding half up and clamping, 8-bit or 16-bit coarse/fine.
#include "zrshow/outputs/DmxLevels.h"

#include <algorithm>
#include <cmath>

namespace zrshow {

void writeLevel(std::uint8_t* slots, unsigned width, double percent)
{
    if (std::isnan(percent))
        return;
    const double full = width == 16 ? 65535.0 : 255.0;
    // Clamping before the conversion keeps infinities and huge values defined.
    const auto level = static_cast<std::uint32_t>(std::clamp(std::floor(percent * full / 100.0 + 0.5), 0.0, full));
    if (width == 16) {
        slots[0] = static_cast<std::uint8_t>(level >> 8);
        slots[1] = static_cast<std::uint8_t>(level & 0xFF);
    } else {
        slots[0] = static_cast<std::uint8_t>(level);
    }
}

} // namespace zrshow
