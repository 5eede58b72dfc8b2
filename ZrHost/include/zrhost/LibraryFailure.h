// How a failure of the expression library is shown: one line per entry of its chain, then the
// text concerned with a caret under the position of the failure, then any hints the host adds.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "zrparser/ZrException.h"
#include "zrparser/ZrExport.h"

namespace zrhost {

// A library failure already turned into text, so it can travel without copying the chain
// (copying a chain reverses its entries).
class ZR_API LibraryFailure {
public:
    // `subject` is the text the failure is about (the expression, or a definition as written);
    // a "pos" of the first entry is an index into it counted from `posOffset`.
    LibraryFailure(const ZrParserException& exception, const std::wstring& subject, std::size_t posOffset = 0);

    // Each entry from index 0 as "ID: DESCRIPTION", then the subject, then a caret line when
    // the first entry has a position, then the hints.
    void print(std::ostream& out) const;

    const std::vector<std::string>& entryLines() const { return entryLines_; }
    // The ids and named parameters of the entries, in the order of entryLines(), for hints.
    const std::vector<ZrExcepData>& entries() const { return entries_; }
    const std::string& subject() const { return subject_; }
    // The character (not byte) of the subject the caret stands under, when there is one.
    std::optional<std::size_t> caretColumn() const { return caretColumn_; }

    // Lines the host adds after the catalogued ones to help the user on (see FormulaHints).
    void addHints(std::vector<std::string> hints);
    const std::vector<std::string>& hints() const { return hints_; }

private:
    std::vector<std::string> entryLines_;
    std::vector<ZrExcepData> entries_;
    std::string subject_;
    std::string caretLine_; // empty: no position
    std::optional<std::size_t> caretColumn_;
    std::vector<std::string> hints_;
};

} // namespace zrhost
