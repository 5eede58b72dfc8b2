// UTF-8 conversion of the library's wide strings, independent of the process locale: file
// names, file contents and command-line text all meet the library through these.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "zrparser/ZrExport.h"

namespace zr {

// Encodes wide text as UTF-8; a code unit that is no Unicode scalar value becomes U+FFFD.
ZR_API std::string toUtf8(std::wstring_view text);
// Decodes UTF-8. Each malformed sequence (a stray byte, a truncated or overlong sequence, a
// surrogate) becomes one U+FFFD, so the characters after it keep their positions.
ZR_API std::wstring fromUtf8(std::string_view text);
// Decodes UTF-8 that must be well formed: nullopt at the first malformed sequence.
ZR_API std::optional<std::wstring> fromUtf8Strict(std::string_view text);

} // namespace zr
