// Reading a whole input file into memory, with an error that names the file.
#pragma once

#include <string>

namespace zrsignal {

// The bytes of the file at `path`. Throws InputError "PATH: cannot open: REASON".
std::string readWholeFile(const std::string& path);

} // namespace zrsignal
