// The operating-system edge of component loading, on POSIX systems: dlopen, flock, rename
// and the XDG configuration directory.
#include "ZrSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "zrparser/ZrUtf8.h"

namespace zr::sys {

namespace {

std::string errnoText(const std::string& what, const std::filesystem::path& file)
{
    return what + " " + file.string() + ": " + std::strerror(errno);
}

} // namespace

std::filesystem::path pathFromWide(std::wstring_view text)
{
    return std::filesystem::path(zr::toUtf8(text));
}

std::optional<std::string> environment(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || !*value)
        return std::nullopt;
    return std::string(value);
}

std::filesystem::path userConfigDirectory()
{
    if (auto xdg = environment("XDG_CONFIG_HOME"); xdg && std::filesystem::path(*xdg).is_absolute())
        return *xdg;
    if (auto home = environment("HOME"))
        return std::filesystem::path(*home) / ".config";
    // No HOME: the password database knows the home directory.
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return std::filesystem::path(found->pw_dir) / ".config";
    return std::filesystem::path(".config");
}

void* openModule(const std::filesystem::path& file, std::string* error)
{
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle && error) {
        const char* reason = dlerror();
        *error = reason ? reason : "cannot load " + file.string();
    }
    return handle;
}

void* findSymbol(void* module, const char* name)
{
    return dlsym(module, name);
}

std::filesystem::path modulePathOf(const void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(info.dli_fname, ec);
    return ec ? std::filesystem::path(info.dli_fname) : absolute.lexically_normal();
}

std::filesystem::path executablePath()
{
    std::error_code ec;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : path;
}

FileLock::FileLock(const std::filesystem::path& lockFile)
{
    fd_ = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0)
        return;
    int result;
    do {
        result = flock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        close(fd_);
        fd_ = -1;
    }
}

FileLock::~FileLock()
{
    // Closing the descriptor releases the lock.
    if (fd_ >= 0)
        close(fd_);
}

bool readFile(const std::filesystem::path& file, std::string& contents, bool& missing, std::string* error)
{
    contents.clear();
    missing = false;
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        missing = errno == ENOENT;
        if (error)
            *error = errnoText("cannot open", file);
        return false;
    }
    char buffer[8192];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            contents.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            if (error)
                *error = errnoText("cannot read", file);
            close(fd);
            return false;
        }
    }
    close(fd);
    return true;
}

bool replaceFile(const std::filesystem::path& file, std::string_view contents, std::string* error)
{
    const std::filesystem::path directory = file.has_parent_path() ? file.parent_path() : ".";
    std::string temporary = (directory / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        if (error)
            *error = errnoText("cannot create a file in", directory);
        return false;
    }
    auto fail = [&](const char* what) {
        if (error)
            *error = errnoText(what, temporary);
        close(fd);
        unlink(temporary.c_str());
        return false;
    };
    struct stat previous{};
    const mode_t mode = stat(file.c_str(), &previous) == 0 ? (previous.st_mode & 07777) : 0644;
    if (fchmod(fd, mode) != 0)
        return fail("cannot set the permissions of");
    for (std::size_t written = 0; written < contents.size();) {
        const ssize_t n = write(fd, contents.data() + written, contents.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail("cannot write");
        written += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0)
        return fail("cannot flush");
    if (close(fd) != 0) {
        if (error)
            *error = errnoText("cannot close", temporary);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), file.c_str()) != 0) {
        if (error)
            *error = errnoText("cannot replace", file);
        unlink(temporary.c_str());
        return false;
    }
    // Makes the rename itself durable.
    const int dirFd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

} // namespace zr::sys
