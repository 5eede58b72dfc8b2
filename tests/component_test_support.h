// Shared helpers of the component tests: a temporary directory that holds the registry file of
// one test, and small file utilities.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include <unistd.h>

// A fresh directory for one test; ZR_REGISTRY points at the file "registry" inside it while the
// object lives. The previous value of ZR_REGISTRY comes back and the directory goes afterwards.
class TemporaryRegistry {
public:
    TemporaryRegistry()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zrparser-test-XXXXXX").string();
        directory_ = mkdtemp(pattern.data());
        if (const char* previous = std::getenv("ZR_REGISTRY"))
            previous_ = previous;
        setenv("ZR_REGISTRY", file().c_str(), 1);
    }
    TemporaryRegistry(const TemporaryRegistry&) = delete;
    TemporaryRegistry& operator=(const TemporaryRegistry&) = delete;
    ~TemporaryRegistry()
    {
        if (previous_)
            setenv("ZR_REGISTRY", previous_->c_str(), 1);
        else
            unsetenv("ZR_REGISTRY");
        std::error_code ec;
        std::filesystem::remove_all(directory_, ec);
    }

    const std::filesystem::path& directory() const { return directory_; }
    std::filesystem::path file() const { return directory_ / "registry"; }
    std::string text() const { return readText(file()); }

    static std::string readText(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    // Writes `text` to `path` (relative paths lie in the directory), creating its parents.
    std::filesystem::path write(const std::filesystem::path& path, const std::string& text) const
    {
        const std::filesystem::path full = path.is_absolute() ? path : directory_ / path;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << text;
        return full;
    }

private:
    std::filesystem::path directory_;
    std::optional<std::string> previous_;
};

inline std::wstring widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}
