// Directory search for plug-in info files, with std::filesystem and fnmatch.
#include "ZrFileSearch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <fnmatch.h>

#include "zrparser/ZrUtf8.h"

namespace zr {

namespace {

// Adds the files of `directory` (matching `pattern`), then recurses into its subdirectories.
void collectFiles(const std::filesystem::path& directory, const std::wstring& prefix, const std::string& pattern,
                  std::vector<std::wstring>& out)
{
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    if (ec)
        return;
    std::vector<std::string> files;
    std::vector<std::string> subdirectories;
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec)
            return;
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.')
            continue;
        std::error_code statError;
        const auto linkStatus = it->symlink_status(statError);
        const auto status = it->status(statError);
        if (std::filesystem::is_directory(status)) {
            if (!std::filesystem::is_symlink(linkStatus))
                subdirectories.push_back(name);
        } else if (std::filesystem::is_regular_file(status) || !std::filesystem::exists(status)) {
            // Regular files, and dangling links, whose opening then fails and is reported.
            if (fnmatch(pattern.c_str(), name.c_str(), 0) == 0)
                files.push_back(name);
        }
    }
    std::sort(files.begin(), files.end());
    std::sort(subdirectories.begin(), subdirectories.end());
    for (const std::string& name : files)
        out.push_back(prefix + fromUtf8(name));
    for (const std::string& name : subdirectories)
        collectFiles(directory / name, prefix + fromUtf8(name) + L"/", pattern, out);
}

} // namespace

std::vector<std::wstring> findFiles(const std::wstring& directory, const std::wstring& pattern)
{
    // An empty directory is the current one, not the root that "/" would name.
    const std::wstring searched = directory.empty() ? L"." : directory;
    std::wstring prefix = searched;
    if (prefix.back() != L'/' && prefix.back() != L'\\')
        prefix += L'/';
    std::vector<std::wstring> out;
    collectFiles(std::filesystem::path(toUtf8(searched)), prefix, toUtf8(pattern), out);
    return out;
}

} // namespace zr
