// What `zrsignal list` prints: the plug-in's functions, optionally the default parser's items,
// all or those a pattern finds; and the same rows for the other parts of the program.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ZrParser;

namespace zrsignal {

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

// The plug-in's functions in createFunc order; `withDefaults` appends the default parser's
// operators, then its functions.
std::vector<CatalogueRow> catalogueRows(bool withDefaults);

// Appends `parser`'s operators, then its functions, in its own order.
void appendParserRows(std::vector<CatalogueRow>& rows, ZrParser& parser);

// Whether a search for `pattern` finds `row`: its symbol contains the pattern, or its
// description contains every word of it; ASCII letters compare without case. An empty or blank
// pattern finds every row.
bool matchesPattern(const CatalogueRow& row, std::string_view pattern);
// How well a search for `pattern` finds `row`, for putting the best first: 0 its symbol is the
// pattern (or the pattern is blank), 1 its symbol contains it, 2 its description has the words;
// nothing when the search does not find it.
std::optional<int> matchRank(const CatalogueRow& row, std::string_view pattern);

// `row` as one JSON object; with `withOrigin`, the key "origin" too.
std::string catalogueRowJson(const CatalogueRow& row, bool withOrigin);

// One row per function in the plug-in's createFunc order: index, symbol, ID, help string, args,
// constant, shareable, description, tab-separated, or the same as a JSON array of objects.
// `withDefaults` appends the default parser's operators, then its functions, and adds a column
// (JSON key "origin") saying where each row comes from: plugin, operator or function. Only the
// rows `pattern` finds are written.
void listCatalogue(std::ostream& out, bool asJson, bool withDefaults, std::string_view pattern = {});

} // namespace zrsignal
