// What `zrsignal list` prints: the plug-in's functions, optionally the default parser's items.
#pragma once

#include <iosfwd>

namespace zrsignal {

// One row per function in the plug-in's createFunc order: index, symbol, ID, help string, args,
// constant, shareable, description, tab-separated, or the same as a JSON array of objects.
// `withDefaults` appends the default parser's operators, then its functions, and adds a column
// (JSON key "origin") saying where each row comes from: plugin, operator or function.
void listCatalogue(std::ostream& out, bool asJson, bool withDefaults);

} // namespace zrsignal
