// Buffered writing of text and numbers to a C stream: a million values cost a few large writes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "zrparser/ZrExport.h"

namespace zrhost {

class ZR_API OutputBuffer {
public:
    explicit OutputBuffer(std::FILE* stream) : stream_(stream) { buffer_.reserve(CAPACITY); }
    ~OutputBuffer() { flush(); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    void append(std::string_view text)
    {
        buffer_.append(text);
        if (buffer_.size() >= CAPACITY)
            flush();
    }
    // The shortest text that reads back to the same double (see NumberText).
    void appendNumber(double value);
    void appendUnsigned(std::uint64_t value);
    // Hands the buffered text to the stream; false once any write has failed.
    bool flush();

private:
    static constexpr std::size_t CAPACITY = 1 << 16;
    std::FILE* stream_;
    std::string buffer_;
    bool failed_ = false;
};

} // namespace zrhost
