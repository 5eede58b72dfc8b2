// UTF-8 encoding and decoding of wide strings.
#include "zrparser/ZrUtf8.h"

namespace zr {

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

// Length of the sequence a lead byte announces, or 0 for a byte that cannot start one.
int sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Decodes the sequence at text[i], advances i past it, and tells whether it was well formed.
char32_t decodeOne(std::string_view text, std::size_t& i, bool& valid)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = sequenceLength(lead);
    if (length == 1) {
        ++i;
        valid = true;
        return lead;
    }
    char32_t code = length == 0 ? 0 : (lead & (0xFF >> (length + 1)));
    std::size_t taken = 1;
    while (length > 0 && taken < static_cast<std::size_t>(length) && i + taken < text.size()) {
        const auto next = static_cast<unsigned char>(text[i + taken]);
        if ((next & 0xC0) != 0x80)
            break;
        code = (code << 6) | (next & 0x3F);
        ++taken;
    }
    i += taken;
    valid = length > 0 && taken == static_cast<std::size_t>(length) && code <= 0x10FFFF &&
            !(code >= 0xD800 && code <= 0xDFFF) && !(length == 3 && code < 0x800) && !(length == 4 && code < 0x10000);
    return valid ? code : REPLACEMENT;
}

std::wstring decode(std::string_view text, bool& allValid)
{
    std::wstring wide;
    wide.reserve(text.size());
    allValid = true;
    for (std::size_t i = 0; i < text.size();) {
        bool valid = true;
        wide.push_back(static_cast<wchar_t>(decodeOne(text, i, valid)));
        allValid = allValid && valid;
    }
    return wide;
}

} // namespace

std::string toUtf8(std::wstring_view text)
{
    std::string utf8;
    utf8.reserve(text.size());
    for (wchar_t c : text) {
        auto code = static_cast<char32_t>(c);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = REPLACEMENT;
        if (code < 0x80) {
            utf8.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (code >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            utf8.push_back(static_cast<char>(0xE0 | (code >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            utf8.push_back(static_cast<char>(0xF0 | (code >> 18)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return utf8;
}

std::wstring fromUtf8(std::string_view text)
{
    bool valid = true;
    return decode(text, valid);
}

std::optional<std::wstring> fromUtf8Strict(std::string_view text)
{
    bool valid = true;
    std::wstring wide = decode(text, valid);
    if (!valid)
        return std::nullopt;
    return wide;
}

} // namespace zr
