// The JSON texts the studio page reads: numbers as eval writes them, refused formulas with their
// caret and hints, and DMX slots.
#pragma once

#include <string>
#include <vector>

#include "DmxLevels.h"

namespace zrsignal {

class LibraryFailure;

// [v1,v2,...] of jsonNumber values.
std::string jsonNumbers(const std::vector<double>& values);

// [s1,s2,...] of JSON strings.
std::string jsonStrings(const std::vector<std::string>& texts);

// {"name":"...","lines":[...],"subject":"...","column":N or null,"hints":[...],"suggestions":[...]}:
// the unknown name (empty when none), the catalogued lines, the text with the caret's character
// (counted in characters), the hints and the names to offer in place of the unknown one.
std::string failureJson(const LibraryFailure& failure, const std::vector<std::string>& suggestions);

// The 512 slots of a universe as 1024 hexadecimal digits.
std::string slotsHex(const DmxSlots& slots);

} // namespace zrsignal
