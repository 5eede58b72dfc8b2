// CSV reading with error positions: plain comma-separated cells, no quoting of data cells.
#include "zrhost/CsvTable.h"

#include <string_view>
#include <utility>

#include "zrhost/FileText.h"
#include "zrhost/InputError.h"
#include "zrhost/NumberText.h"

namespace zrhost {

namespace {

struct Cell {
    std::string_view text; // trimmed
    std::size_t column;    // 1-based position in its line of the cell's first non-blank byte
};

std::string_view trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::vector<Cell> splitCells(std::string_view line)
{
    std::vector<Cell> cells;
    std::size_t start = 0;
    while (true) {
        const auto comma = line.find(',', start);
        const auto end = comma == std::string_view::npos ? line.size() : comma;
        const std::string_view raw = line.substr(start, end - start);
        const auto blanks = raw.find_first_not_of(" \t");
        cells.push_back({trim(raw), start + 1 + (blanks == std::string_view::npos ? 0 : blanks)});
        if (comma == std::string_view::npos)
            return cells;
        start = comma + 1;
    }
}

// Reads a file line by line, numbering lines from 1 and dropping a final carriage return.
class LineReader {
public:
    explicit LineReader(std::string text) : text_(std::move(text))
    {
        if (text_.starts_with("\xEF\xBB\xBF"))
            offset_ = 3;
    }

    bool next(std::string_view& line)
    {
        if (offset_ >= text_.size())
            return false;
        auto end = text_.find('\n', offset_);
        if (end == std::string::npos)
            end = text_.size();
        line = std::string_view(text_).substr(offset_, end - offset_);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        offset_ = end + 1;
        ++lineNumber_;
        return true;
    }

    std::size_t lineNumber() const { return lineNumber_; }

private:
    std::string text_;
    std::size_t offset_ = 0;
    std::size_t lineNumber_ = 0;
};

[[noreturn]] void fail(const std::string& path, std::size_t line, std::size_t column, const std::string& message)
{
    throw InputError(path + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message);
}

std::string_view unquote(std::string_view name)
{
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        return name.substr(1, name.size() - 2);
    return name;
}

} // namespace

CsvTable CsvTable::read(const std::string& path)
{
    LineReader lines(readWholeFile(path));
    CsvTable table;
    std::string_view line;
    if (!lines.next(line) || trim(line).empty())
        fail(path, 1, 1, "the first row must name the variables");
    for (const Cell& cell : splitCells(line)) {
        const std::string name(unquote(cell.text));
        if (name.empty())
            fail(path, 1, cell.column, "empty variable name");
        for (std::size_t k = 0; k < table.names_.size(); ++k) {
            if (table.names_[k] == name)
                fail(path, 1, cell.column, "variable '" + name + "' already named in column " + std::to_string(k + 1));
        }
        table.names_.push_back(name);
    }

    const std::size_t width = table.names_.size();
    std::vector<double> previous(width, 0.0);
    while (lines.next(line)) {
        if (trim(line).empty())
            continue;
        const std::vector<Cell> cells = splitCells(line);
        if (cells.size() < width) {
            fail(path, lines.lineNumber(), line.size() + 1,
                 "row has " + std::to_string(cells.size()) + " cells, the header names " + std::to_string(width));
        }
        if (cells.size() > width) {
            fail(path, lines.lineNumber(), cells[width].column,
                 "row has " + std::to_string(cells.size()) + " cells, the header names " + std::to_string(width));
        }
        for (std::size_t k = 0; k < width; ++k) {
            if (cells[k].text.empty())
                continue;
            const auto number = parseNumber(cells[k].text);
            if (!number)
                fail(path, lines.lineNumber(), cells[k].column, "not a number: '" + std::string(cells[k].text) + "'");
            previous[k] = *number;
        }
        table.values_.insert(table.values_.end(), previous.begin(), previous.end());
    }
    return table;
}

} // namespace zrhost
