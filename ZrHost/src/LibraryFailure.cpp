// Formatting of library exception chains with a caret under the failing character.
#include "zrhost/LibraryFailure.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <ostream>
#include <string_view>

#include "zrparser/ZrUtf8.h"

namespace zrhost {

namespace {

// The entry's "pos" as a number, when it has one that reads as a number.
bool readPosition(const ZrExcepData& data, std::size_t& position)
{
    const wchar_t* text = data.findParam(L"pos");
    if (!text)
        return false;
    const std::string digits = zr::toUtf8(text);
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), position);
    return result.ec == std::errc() && result.ptr == digits.data() + digits.size();
}

// Blanks up to `column`, keeping the subject's tabs so the caret lines up under it.
std::string caretUnder(const std::wstring& subject, std::size_t column)
{
    column = std::min(column, subject.size());
    std::string line;
    for (std::size_t i = 0; i < column; ++i)
        line.push_back(subject[i] == L'\t' ? '\t' : ' ');
    line.push_back('^');
    return line;
}

} // namespace

LibraryFailure::LibraryFailure(const ZrParserException& exception, const std::wstring& subject, std::size_t posOffset)
    : subject_(zr::toUtf8(subject))
{
    for (unsigned i = 0; i < exception.getNbExceptions(); ++i) {
        const auto& entry = exception.getEntry(i);
        entryLines_.push_back(zr::toUtf8(entry.data.id) + ": " + zr::toUtf8(entry.description));
        entries_.push_back(entry.data);
    }
    std::size_t position = 0;
    if (exception.getNbExceptions() > 0 && readPosition(exception.getEntry(0).data, position)) {
        caretColumn_ = std::min(posOffset + position, subject.size());
        caretLine_ = caretUnder(subject, *caretColumn_);
    }
}

void LibraryFailure::addHints(std::vector<std::string> hints)
{
    hints_.insert(hints_.end(), std::make_move_iterator(hints.begin()), std::make_move_iterator(hints.end()));
}

void LibraryFailure::print(std::ostream& out) const
{
    for (const std::string& line : entryLines_)
        out << line << '\n';
    if (!subject_.empty() || !caretLine_.empty())
        out << subject_ << '\n';
    if (!caretLine_.empty())
        out << caretLine_ << '\n';
    for (const std::string& hint : hints_)
        out << hint << '\n';
}

} // namespace zrhost
