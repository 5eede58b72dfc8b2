// The items a formula can call, as rows of a catalogue: the signal plug-in's functions in its
// own order, and a parser's operators and functions; with the searches made on them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zrparser/ZrExport.h"

class ZrParser;

namespace zrhost {

// One operator or function overload as the catalogue describes it.
struct CatalogueRow {
    int index;          // in the plug-in's createFunc order, or in the parser's lists
    std::string symbol;
    std::string id;
    std::string help;   // the prototype
    int args;           // -1: any number
    bool constant;
    bool shareable;
    std::string description;
    const char* origin; // "plugin", "operator" or "function" (or "host": see FormulaCatalogue)
};

// The signal plug-in's functions in createFunc order; `withDefaults` appends the default
// parser's operators, then its functions.
ZR_API std::vector<CatalogueRow> catalogueRows(bool withDefaults);

// Appends `parser`'s operators, then its functions, in its own order.
ZR_API void appendParserRows(std::vector<CatalogueRow>& rows, ZrParser& parser);
// Appends `parser`'s functions alone.
ZR_API void appendFunctionRows(std::vector<CatalogueRow>& rows, ZrParser& parser);

// The rows of `rows` for `symbol`, fewest arguments first and "any number" last.
ZR_API std::vector<CatalogueRow> overloadsOf(const std::vector<CatalogueRow>& rows, std::string_view symbol);

// Whether a search for `pattern` finds `row`: its symbol contains the pattern, or its
// description and keywords (catalogueKeywords) contain every word of it; ASCII letters compare
// without case. An empty or blank pattern finds every row.
ZR_API bool matchesPattern(const CatalogueRow& row, std::string_view pattern);
// How well a search for `pattern` finds `row`, for putting the best first: 0 its symbol is the
// pattern (or the pattern is blank), 1 its symbol contains it, 2 its description has the words,
// 3 its description and keywords have them; nothing when the search does not find it.
ZR_API std::optional<int> matchRank(const CatalogueRow& row, std::string_view pattern);

} // namespace zrhost
