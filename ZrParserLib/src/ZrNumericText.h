// The one rule that tells a number from a name, shared by the compiler and the naming rules.
#pragma once

#include <cwctype>
#include <string>

// True when every character is a decimal digit except at most one decimal point; the empty
// text counts as a number too.
inline bool isNumericText(const std::wstring& text, wchar_t decimalPoint)
{
    bool pointSeen = false;
    for (wchar_t c : text) {
        if (std::iswdigit(static_cast<wint_t>(c)))
            continue;
        if (c == decimalPoint && !pointSeen) {
            pointSeen = true;
            continue;
        }
        return false;
    }
    return true;
}
