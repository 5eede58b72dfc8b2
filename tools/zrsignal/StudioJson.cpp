// JSON pieces written by hand: the page needs few shapes, and no library is worth it here.
#include "StudioJson.h"

#include "ErrorReport.h"
#include "FormulaHints.h"
#include "ValueWriters.h"

namespace zrsignal {

std::string jsonNumbers(const std::vector<double>& values)
{
    std::string json = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        json += (i > 0 ? "," : "") + jsonNumber(values[i]);
    return json + "]";
}

std::string jsonStrings(const std::vector<std::string>& texts)
{
    std::string json = "[";
    for (std::size_t i = 0; i < texts.size(); ++i)
        json += (i > 0 ? "," : "") + jsonString(texts[i]);
    return json + "]";
}

std::string failureJson(const LibraryFailure& failure, const std::vector<std::string>& suggestions)
{
    const auto column = failure.caretColumn();
    return "{\"name\":" + jsonString(hintSubjectOf(failure).name) + ",\"lines\":" + jsonStrings(failure.entryLines()) +
           ",\"subject\":" + jsonString(failure.subject()) +
           ",\"column\":" + (column ? std::to_string(*column) : std::string("null")) +
           ",\"hints\":" + jsonStrings(failure.hints()) + ",\"suggestions\":" + jsonStrings(suggestions) + "}";
}

std::string slotsHex(const DmxSlots& slots)
{
    static constexpr char HEX[] = "0123456789abcdef";
    std::string text;
    text.reserve(slots.size() * 2);
    for (std::uint8_t value : slots) {
        text.push_back(HEX[value >> 4]);
        text.push_back(HEX[value & 0xF]);
    }
    return text;
}

} // namespace zrsignal
