// The items a formula in zrsignal can use, as `help` and the studio show them: each with its
// origin and an example formula whose curve shows what it does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "CatalogueListing.h"

namespace zrsignal {

// The signal plug-in's functions, then the operators and the other functions of a host parser
// as eval sets it up. Default functions the plug-in replaces are left out; the host's own
// functions (such as __timeInc) have the origin "host".
std::vector<CatalogueRow> formulaCatalogue();

// The rows of `catalogue` for `symbol`, fewest arguments first and "any number" last.
std::vector<CatalogueRow> rowsFor(const std::vector<CatalogueRow>& catalogue, std::string_view symbol);

// A formula calling `row` with arguments that move over a few seconds at 40 frames a second:
// waves and ramps for values, a trigger every half second for arguments that fire.
std::string exampleFormula(const CatalogueRow& row);

// Where a row comes from, in words: "signal plug-in", "operator", ...
const char* originText(const CatalogueRow& row);

} // namespace zrsignal
