// The operating-system edge of component loading, on POSIX systems: dlopen, flock, rename,
// the XDG configuration directory and fnmatch.
#include "ZrSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zr::sys {

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

void appendUtf8(std::string& out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = REPLACEMENT;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one character at text[i] and advances i; nullopt on a malformed or overlong sequence.
std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int length = 0;
    char32_t c = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        c = lead & 0x07;
    } else {
        ++i;
        return std::nullopt;
    }
    if (i + static_cast<std::size_t>(length) > text.size()) {
        i = text.size();
        return std::nullopt;
    }
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + static_cast<std::size_t>(k));
        if ((next & 0xC0) != 0x80) {
            i += static_cast<std::size_t>(k);
            return std::nullopt;
        }
        c = (c << 6) | (next & 0x3F);
    }
    i += static_cast<std::size_t>(length);
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return std::nullopt;
    return c;
}

std::wstring decode(std::string_view text, bool& valid)
{
    std::wstring out;
    out.reserve(text.size());
    valid = true;
    for (std::size_t i = 0; i < text.size();) {
        const std::optional<char32_t> c = decodeUtf8(text, i);
        valid = valid && c.has_value();
        out += static_cast<wchar_t>(c.value_or(REPLACEMENT));
    }
    return out;
}

std::string errnoText(const std::string& what, const std::filesystem::path& file)
{
    return what + " " + file.string() + ": " + std::strerror(errno);
}

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

std::string toUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        appendUtf8(out, static_cast<char32_t>(c));
    return out;
}

std::optional<std::wstring> fromUtf8Strict(std::string_view text)
{
    bool valid = true;
    std::wstring out = decode(text, valid);
    if (!valid)
        return std::nullopt;
    return out;
}

std::wstring fromUtf8(std::string_view text)
{
    bool valid = true;
    return decode(text, valid);
}

std::filesystem::path pathFromWide(std::wstring_view text)
{
    return std::filesystem::path(toUtf8(text));
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

std::vector<std::wstring> findFiles(const std::wstring& directory, const std::wstring& pattern)
{
    // An empty directory is the current one, not the root that "/" would name.
    const std::wstring searched = directory.empty() ? L"." : directory;
    std::wstring prefix = searched;
    if (prefix.back() != L'/' && prefix.back() != L'\\')
        prefix += L'/';
    std::vector<std::wstring> out;
    collectFiles(pathFromWide(searched), prefix, toUtf8(pattern), out);
    return out;
}

} // namespace zr::sys
