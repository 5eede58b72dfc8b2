// Lines, CSV and JSON writers; numbers in shortest round-trip form, NaN and infinities as words.
#include "cli/ValueWriters.h"

#include <cmath>

#include "zrhost/FormulaJson.h"

namespace zrsignal {

using zrhost::Json;
using zrhost::jsonText;

using zrhost::OutputBuffer;

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

// {"expression":..., "fps":..., "values":[...]}, streamed: a million values are never held as a
// document. JSON has no NaN or infinity, so those are the strings "nan", "inf" and "-inf".
class JsonWriter final : public ValueWriter {
public:
    JsonWriter(OutputBuffer& out, std::string expression, double fps)
        : out_(out), expression_(std::move(expression)), fps_(fps)
    {
    }

    void begin() override
    {
        out_.append("{\"expression\":");
        out_.append(jsonText(Json(expression_)));
        out_.append(",\"fps\":");
        appendValue(fps_);
        out_.append(",\"values\":[");
    }
    void write(std::uint64_t frame, double value) override
    {
        if (frame > 0)
            out_.append(",");
        appendValue(value);
    }
    void end() override { out_.append("]}\n"); }

private:
    void appendValue(double value)
    {
        if (std::isfinite(value)) {
            out_.appendNumber(value);
        } else {
            out_.append("\"");
            out_.appendNumber(value);
            out_.append("\"");
        }
    }

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
