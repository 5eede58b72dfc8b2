// DMX slot values: 512 per universe, and the conversion of a channel's percent value into them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "zrparser/ZrExport.h"

namespace zrshow {

inline constexpr std::size_t DMX_SLOT_COUNT = 512;
using DmxSlots = std::array<std::uint8_t, DMX_SLOT_COUNT>;

// The slot values of every universe of a show for one frame, in the show's universe order.
struct DmxFrame {
    std::uint64_t number = 0;
    std::vector<DmxSlots> universes;
};

// Writes a percent value into the slots of one channel: width 8 takes slots[0] =
// floor(v × 255 / 100 + 0.5), width 16 takes slots[0] (coarse) and slots[1] (fine) from
// floor(v × 65535 / 100 + 0.5); both clamped to their range, infinities included. NaN leaves
// the slots as they are, so the channel holds its last value.
ZR_API void writeLevel(std::uint8_t* slots, unsigned width, double percent);
// A 16-bit level whose fine slot need not follow its coarse slot (fixtures that put both pans
// and tilts first and their fine halves after).
ZR_API void writeLevel(std::uint8_t* coarse, std::uint8_t* fine, double percent);

} // namespace zrshow
