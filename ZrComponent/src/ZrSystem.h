// The operating-system edge of component loading: modules, file locks, atomic file
// replacement, the user's configuration directory and UTF-8 file names.
// Everything that calls the system for these lives behind this header.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zr::sys {

// A file name given as wide text, as UTF-8 bytes.
std::filesystem::path pathFromWide(std::wstring_view text);

// The value of an environment variable, or nullopt when it is unset or empty.
std::optional<std::string> environment(const char* name);
// The base of per-user configuration: $XDG_CONFIG_HOME when it is an absolute path, else the
// .config directory in the user's home.
std::filesystem::path userConfigDirectory();

// Loads a module (every symbol bound now, none made global). Null with the loader's reason in
// `error` when it cannot be loaded. Modules are never closed.
void* openModule(const std::filesystem::path& file, std::string* error);
void* findSymbol(void* module, const char* name);
// The absolute path of the loaded file that holds `address`; empty when unknown.
std::filesystem::path modulePathOf(const void* address);
// The absolute path of the running program's file; empty when unknown.
std::filesystem::path executablePath();

// An exclusive lock on a lock file beside the data it guards, held for the object's life.
// Locks taken by different threads or processes exclude each other.
class FileLock {
public:
    explicit FileLock(const std::filesystem::path& lockFile);
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    bool isLocked() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Reads a whole file. `missing` tells a file that does not exist from one that cannot be read.
bool readFile(const std::filesystem::path& file, std::string& contents, bool& missing, std::string* error);
// Replaces the file's contents atomically: a reader sees the old file or the new one, never a
// mixture. The file's permissions are kept; a new file is readable by everyone.
bool replaceFile(const std::filesystem::path& file, std::string_view contents, std::string* error);

} // namespace zr::sys
