// Frame-by-frame variable values read from a CSV file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "zrparser/ZrExport.h"

namespace zrhost {

// The first row names the variables; each following row holds their values for one frame.
// Empty cells have already been filled with the value of the row before (0 in the first row).
class ZR_API CsvTable {
public:
    // Reads and checks the whole file. Throws InputError naming the file, line and column of the
    // first problem: missing file, header without names or with a name twice, a row with too few
    // or too many cells, a cell that is not a number (nan, inf and -inf are numbers).
    static CsvTable read(const std::string& path);

    const std::vector<std::string>& names() const { return names_; }
    std::size_t rowCount() const { return names_.empty() ? 0 : values_.size() / names_.size(); }
    // Value of column `column` in data row `row` (both from 0).
    double value(std::size_t row, std::size_t column) const { return values_[row * names_.size() + column]; }

private:
    std::vector<std::string> names_;
    std::vector<double> values_; // row after row
};

} // namespace zrhost
