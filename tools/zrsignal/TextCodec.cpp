// UTF-8 encoding and decoding, independent of the process locale.
#include "TextCodec.h"

namespace zrsignal {

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

} // namespace

std::wstring toWide(std::string_view utf8)
{
    std::wstring wide;
    wide.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = sequenceLength(lead);
        if (length == 1) {
            wide.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        char32_t code = length == 0 ? 0 : (lead & (0xFF >> (length + 1)));
        int taken = 1;
        while (length > 0 && taken < length && i + taken < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + taken]);
            if ((next & 0xC0) != 0x80)
                break;
            code = (code << 6) | (next & 0x3F);
            ++taken;
        }
        const bool valid = length > 0 && taken == length && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) &&
                           !(length == 3 && code < 0x800) && !(length == 4 && code < 0x10000);
        wide.push_back(static_cast<wchar_t>(valid ? code : REPLACEMENT));
        i += taken;
    }
    return wide;
}

std::string toUtf8(std::wstring_view wide)
{
    std::string utf8;
    utf8.reserve(wide.size());
    for (wchar_t c : wide) {
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

} // namespace zrsignal
