// The JSON both front ends write (the catalogue of `list --json`, the studio's answers), with
// the one JSON library: numbers where JSON has them and NaN and the infinities as the strings
// "nan", "inf" and "-inf"; catalogue rows; refused formulas with their caret and hints.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zrhost {
class LibraryFailure;
struct CatalogueRow;
} // namespace zrhost

namespace zrsignal {

// Objects keep their keys in the order written.
using Json = nlohmann::ordered_json;

// `value` as a JSON number, or as the word for a value JSON has no number for.
Json jsonNumber(double value);
Json jsonNumbers(const std::vector<double>& values);

// {"index","symbol","id","help","args","constant","shareable","description"} and, with
// `withOrigin`, "origin".
Json catalogueRowJson(const zrhost::CatalogueRow& row, bool withOrigin);

// {"name":"...","lines":[...],"subject":"...","column":N or null,"hints":[...],"suggestions":[...]}:
// the unknown name (empty when none), the catalogued lines, the text with the caret's character
// (counted in characters), the hints and the names to offer in place of the unknown one.
Json failureJson(const zrhost::LibraryFailure& failure, const std::vector<std::string>& suggestions);

// The compact text of `json`; bytes that are no UTF-8 become U+FFFD instead of failing.
std::string jsonText(const Json& json);

} // namespace zrsignal
