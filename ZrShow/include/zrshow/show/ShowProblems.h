// The list of everything wrong with a show file, each problem beginning with "FILE:LINE: ".
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "zrparser/ZrExport.h"

namespace zrhost {
class LibraryFailure;
}

namespace zrshow {

// Collects problems instead of stopping at the first, so that one attempt to run a show shows
// the designer every mistake of the file at once.
class ZR_API ShowProblems {
public:
    explicit ShowProblems(std::string path) : path_(std::move(path)) {}

    // A problem at `line` of the file (0: the file as a whole, no line shown).
    void add(std::size_t line, const std::string& message);
    // A problem at a line and column, as "FILE:LINE:COLUMN: message".
    void add(std::size_t line, std::size_t column, const std::string& message);
    // A problem followed by the library's report of it, exactly as a formula's failure is printed: the
    // chain's entries, the text concerned and a caret under the failing character.
    void add(std::size_t line, const std::string& message, const zrhost::LibraryFailure& failure);

    bool empty() const { return problems_.empty(); }
    std::size_t count() const { return problems_.size(); }
    const std::string& path() const { return path_; }

    // Every problem, in the order found, each ending with a newline.
    void print(std::ostream& out) const;
    std::string text() const;

private:
    // `position` is "LINE:", "LINE:COLUMN:" or empty.
    void addAt(const std::string& position, const std::string& message);

    std::string path_;
    std::vector<std::string> problems_;
};

// Thrown when a show file cannot be run; the problems are all of them, not only the first.
class ZR_API ShowRefused {
public:
    explicit ShowRefused(ShowProblems problems) : problems_(std::move(problems)) {}
    const ShowProblems& problems() const { return problems_; }

private:
    ShowProblems problems_;
};

} // namespace zrshow
