// The output formats of eval: one value per line, CSV with a header, or one JSON object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "zrhost/OutputBuffer.h"

namespace zrsignal {

enum class OutputFormat { Lines, Csv, Json };

// Receives the values of one expression, frame after frame.
class ValueWriter {
public:
    virtual ~ValueWriter() = default;
    virtual void begin() {}
    virtual void write(std::uint64_t frame, double value) = 0;
    virtual void end() {}
};

std::unique_ptr<ValueWriter> makeValueWriter(OutputFormat format, zrhost::OutputBuffer& out,
                                             const std::string& expression, double fps);

} // namespace zrsignal
