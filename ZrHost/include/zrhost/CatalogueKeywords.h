// The words lighting people use for what the catalogue's functions make ("strobe", "chase",
// "rainbow"), kept apart from the catalogue's own texts, so that a search finds a function by
// its effect as well as by its name and description.
#pragma once

#include <string_view>
#include <vector>

#include "zrparser/ZrExport.h"

namespace zrhost {

// The keywords of the function `symbol` (as the catalogue names it, "__sin"), separated by
// commas; empty when it has none.
ZR_API std::string_view catalogueKeywords(std::string_view symbol);

// Every symbol that has keywords, for checking that each still names a function.
ZR_API std::vector<std::string_view> symbolsWithKeywords();

} // namespace zrhost
