// Slot rows written from a table of the 256 slot texts: 51,200 numbers a frame stay cheap.
#include "zrshow/outputs/SlotCsvWriter.h"

#include <array>
#include <string>
#include <string_view>

namespace zrshow {

namespace {

// ",0" to ",255".
const std::array<std::string, 256>& slotTexts()
{
    static const std::array<std::string, 256> texts = [] {
        std::array<std::string, 256> made;
        for (std::size_t value = 0; value < made.size(); ++value)
            made[value] = "," + std::to_string(value);
        return made;
    }();
    return texts;
}

} // namespace

SlotCsvWriter::SlotCsvWriter(std::FILE* stream) : out_(stream)
{
    out_.append("frame,universe");
    for (std::size_t slot = 1; slot <= DMX_SLOT_COUNT; ++slot)
        out_.append(",slot" + std::to_string(slot));
    out_.append("\n");
}

void SlotCsvWriter::write(std::uint64_t frame, const std::vector<std::uint32_t>& numbers,
                          const std::vector<DmxSlots>& slots)
{
    const auto& texts = slotTexts();
    for (std::size_t u = 0; u < slots.size(); ++u) {
        out_.appendUnsigned(frame);
        out_.append(",");
        out_.appendUnsigned(numbers[u]);
        for (std::uint8_t value : slots[u])
            out_.append(texts[value]);
        out_.append("\n");
    }
}

} // namespace zrshow
