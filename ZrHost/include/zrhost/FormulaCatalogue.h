// The items a formula in a host parser can use, as a catalogue shows them: each with its origin
// and an example formula whose curve shows what it does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "zrhost/CatalogueRows.h"
#include "zrparser/ZrExport.h"

namespace zrhost {

// The signal plug-in's functions, then the operators and the other functions of a host parser
// as makeHostParser sets it up. Default functions the plug-in replaces are left out; the host's
// own functions (such as __timeInc) have the origin "host".
ZR_API std::vector<CatalogueRow> formulaCatalogue();

// A formula calling `row` with arguments that move over a few seconds at 40 frames a second:
// waves and ramps for values, a trigger every half second for arguments that fire.
ZR_API std::string exampleFormula(const CatalogueRow& row);

// Where a row comes from, in words: "signal plug-in", "operator", ...
ZR_API const char* originText(const CatalogueRow& row);

} // namespace zrhost
