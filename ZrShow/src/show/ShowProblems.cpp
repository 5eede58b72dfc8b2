// Formatting of show-file problems as "FILE:LINE: message" blocks.
#include "zrshow/show/ShowProblems.h"

#include <ostream>
#include <sstream>

#include "zrhost/LibraryFailure.h"

namespace zrshow {

void ShowProblems::add(std::size_t line, const std::string& message)
{
    addAt(line > 0 ? std::to_string(line) + ":" : "", message);
}

void ShowProblems::add(std::size_t line, std::size_t column, const std::string& message)
{
    addAt(std::to_string(line) + ":" + std::to_string(column) + ":", message);
}

void ShowProblems::addAt(const std::string& position, const std::string& message)
{
    problems_.push_back(path_ + ":" + position + " " + message + "\n");
}

void ShowProblems::add(std::size_t line, const std::string& message, const zrhost::LibraryFailure& failure)
{
    add(line, message);
    std::ostringstream report;
    failure.print(report);
    problems_.back() += report.str();
}

void ShowProblems::print(std::ostream& out) const
{
    for (const std::string& problem : problems_)
        out << problem;
}

std::string ShowProblems::text() const
{
    std::ostringstream out;
    print(out);
    return out.str();
}

} // namespace zrshow
