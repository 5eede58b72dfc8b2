// The directory search with which a parser finds the info files of a plug-in tree.
#pragma once

#include <string>
#include <vector>

namespace zr {

// Paths of the files of `directory` whose names match the shell-style `pattern`, then those of
// its subdirectories, recursively, depth first; an empty `directory` is the current one. Names
// beginning with "." are skipped, entries of one directory come in name order, symbolic links
// to directories are not followed, and a directory that cannot be read contributes nothing.
// Each path is `directory` with a "/" appended (unless it ends with "/" or a backslash)
// followed by the path below it.
std::vector<std::wstring> findFiles(const std::wstring& directory, const std::wstring& pattern);

} // namespace zr
