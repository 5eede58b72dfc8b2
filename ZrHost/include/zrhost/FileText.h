// Reading a whole input file into memory, with an error that names the file.
#pragma once

#include <string>

#include "zrparser/ZrExport.h"

namespace zrhost {

// The bytes of the file at `path`. Throws InputError "PATH: cannot open: REASON".
ZR_API std::string readWholeFile(const std::string& path);

} // namespace zrhost
