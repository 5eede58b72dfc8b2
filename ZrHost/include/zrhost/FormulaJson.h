// Formulas' data as JSON, for hosts that answer a page or a script (nlohmann-json): numbers where
// JSON has them and NaN and the infinities as the strings "nan", "inf" and "-inf"; catalogue
// rows; refused formulas with their caret and hints.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zrparser/ZrExport.h"

namespace zrhost {

class LibraryFailure;
struct CatalogueRow;

// Objects keep their keys in the order written.
using Json = nlohmann::ordered_json;

// `value` as a JSON number, or as the word for a value JSON has no number for.
ZR_API Json jsonNumber(double value);
ZR_API Json jsonNumbers(const std::vector<double>& values);

// {"index","symbol","id","help","args","constant","shareable","description"} and, with
// `withOrigin`, "origin".
ZR_API Json catalogueRowJson(const CatalogueRow& row, bool withOrigin);

// {"name":"...","lines":[...],"subject":"...","column":N or null,"hints":[...],"suggestions":[...]}:
// the unknown name (empty when none), the catalogued lines, the text with the caret's character
// (counted in characters), the hints and the names to offer in place of the unknown one.
ZR_API Json failureJson(const LibraryFailure& failure, const std::vector<std::string>& suggestions);

// The compact text of `json`; bytes that are no UTF-8 become U+FFFD instead of failing.
ZR_API std::string jsonText(const Json& json);

} // namespace zrhost
