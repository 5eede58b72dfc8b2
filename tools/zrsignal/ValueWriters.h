// The output formats of eval: one value per line, CSV with a header, or one JSON object.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "Options.h"


namespace zrsignal {

// Buffered writing to a C stream; a million values cost a few large writes.
class OutputBuffer {
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

// Receives the values of one expression, frame after frame.
class ValueWriter {
public:
    virtual ~ValueWriter() = default;
    virtual void begin() {}
    virtual void write(std::uint64_t frame, double value) = 0;
    virtual void end() {}
};

std::unique_ptr<ValueWriter> makeValueWriter(OutputFormat format, OutputBuffer& out, const std::string& expression,
                                             double fps);

// `text` as a JSON string literal, quotes included.
std::string jsonString(std::string_view text);

// `value` as JSON: a finite number as it is, NaN and the infinities as the strings "nan", "inf"
// and "-inf", which JSON has no numbers for.
std::string jsonNumber(double value);

} // namespace zrsignal
