// How a failure of the expression library is shown: one line per entry of its chain, then the
// text concerned with a caret under the position of the failure.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "zrparser/ZrException.h"

namespace zrsignal {

// A library failure already turned into text, so it can travel without copying the chain
// (copying a chain reverses its entries). The program exits with 2.
class LibraryFailure {
public:
    // `subject` is the text the failure is about (the expression, or a definition as written);
    // a "pos" of the first entry is an index into it counted from `posOffset`.
    LibraryFailure(const ZrParserException& exception, const std::wstring& subject, std::size_t posOffset = 0);

    // Each entry from index 0 as "ID: DESCRIPTION", then the subject, then a caret line when
    // the first entry has a position.
    void print(std::ostream& out) const;

    const std::vector<std::string>& entryLines() const { return entryLines_; }

private:
    std::vector<std::string> entryLines_;
    std::string subject_;
    std::string caretLine_; // empty: no position
};

} // namespace zrsignal
