// Conversion between the UTF-8 text of the command line and files and the library's wide strings.
#pragma once

#include <string>
#include <string_view>

namespace zrsignal {

// Decodes UTF-8; a malformed byte becomes U+FFFD so that positions still line up.
std::wstring toWide(std::string_view utf8);
// Encodes wide text as UTF-8.
std::string toUtf8(std::wstring_view wide);

} // namespace zrsignal
