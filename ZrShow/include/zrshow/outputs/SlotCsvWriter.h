// Slot values of a show as CSV rows: a header row, then one row per frame and universe,
// "frame,universe,slot1,…,slot512", with the slot values 0-255.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "zrhost/OutputBuffer.h"
#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxLevels.h"

namespace zrshow {

class ZR_API SlotCsvWriter {
public:
    // Writes the header row.
    explicit SlotCsvWriter(std::FILE* stream);

    // One row per universe, in the order of `numbers` (the universe numbers of `slots`).
    void write(std::uint64_t frame, const std::vector<std::uint32_t>& numbers, const std::vector<DmxSlots>& slots);
    // Hands the rows to the stream; false once any write has failed.
    bool flush() { return out_.flush(); }

private:
    zrhost::OutputBuffer out_;
};

} // namespace zrshow
