// Numbers appended without a temporary string; one fwrite per 64 KiB.
#include "zrhost/OutputBuffer.h"

#include <charconv>

#include "zrhost/NumberText.h"

namespace zrhost {

void OutputBuffer::appendNumber(double value)
{
    char text[NUMBER_TEXT_CAPACITY];
    append(formatNumber(value, text));
}

void OutputBuffer::appendUnsigned(std::uint64_t value)
{
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    append({text, static_cast<std::size_t>(result.ptr - text)});
}

bool OutputBuffer::flush()
{
    if (!buffer_.empty()) {
        if (std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size())
            failed_ = true;
        buffer_.clear();
    }
    if (std::fflush(stream_) != 0)
        failed_ = true;
    return !failed_;
}

} // namespace zrhost
