// Lines, CSV and JSON writers; numbers in shortest round-trip form, NaN and infinities as words.
#include "ValueWriters.h"

#include <charconv>
#include <cmath>

#include "NumberText.h"

namespace zrsignal {

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

std::string jsonString(std::string_view text)
{
    static constexpr char HEX[] = "0123456789abcdef";
    std::string quoted = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        default:
            if (byte < 0x20) {
                quoted += "\\u00";
                quoted.push_back(HEX[byte >> 4]);
                quoted.push_back(HEX[byte & 0xF]);
            } else {
                quoted.push_back(c);
            }
        }
    }
    quoted.push_back('"');
    return quoted;
}

std::string jsonNumber(double value)
{
    char text[NUMBER_TEXT_CAPACITY];
    const std::string_view number = formatNumber(value, text);
    if (std::isfinite(value))
        return std::string(number);
    return "\"" + std::string(number) + "\"";
}

namespace {

class LinesWriter final : public ValueWriter {
public:
    explicit LinesWriter(OutputBuffer& out) : out_(out) {}

    void write(std::uint64_t, double value) override
    {
        out_.appendNumber(value);
        out_.append("\n");
    }

private:
    OutputBuffer& out_;
};

class CsvWriter final : public ValueWriter {
public:
    explicit CsvWriter(OutputBuffer& out) : out_(out) {}

    void begin() override { out_.append("frame,value\n"); }
    void write(std::uint64_t frame, double value) override
    {
        out_.appendUnsigned(frame);
        out_.append(",");
        out_.appendNumber(value);
        out_.append("\n");
    }

private:
    OutputBuffer& out_;
};

// {"expression":..., "fps":..., "values":[...]}; JSON has no NaN or infinity, so those are strings.
class JsonWriter final : public ValueWriter {
public:
    JsonWriter(OutputBuffer& out, std::string expression, double fps)
        : out_(out), expression_(std::move(expression)), fps_(fps)
    {
    }

    void begin() override
    {
        out_.append("{\"expression\":");
        out_.append(jsonString(expression_));
        out_.append(",\"fps\":");
        out_.appendNumber(fps_);
        out_.append(",\"values\":[");
    }
    void write(std::uint64_t frame, double value) override
    {
        if (frame > 0)
            out_.append(",");
        out_.append(jsonNumber(value));
    }
    void end() override { out_.append("]}\n"); }

private:
    OutputBuffer& out_;
    std::string expression_;
    double fps_;
};

} // namespace

std::unique_ptr<ValueWriter> makeValueWriter(OutputFormat format, OutputBuffer& out, const std::string& expression,
                                             double fps)
{
    switch (format) {
    case OutputFormat::Csv: return std::make_unique<CsvWriter>(out);
    case OutputFormat::Json: return std::make_unique<JsonWriter>(out, expression, fps);
    case OutputFormat::Lines: break;
    }
    return std::make_unique<LinesWriter>(out);
}

} // namespace zrsignal
