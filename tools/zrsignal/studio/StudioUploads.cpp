// The upload directory: one subdirectory per file, so the file keeps the name the user chose.
#include "studio/StudioUploads.h"

#include <cstdlib>
#include <fstream>
#include <system_error>
#include <vector>

#include "zrhost/InputError.h"

namespace zrsignal {

using zrhost::InputError;

namespace {

// The last part of a path the browser sent, without anything that could lead elsewhere.
std::string safeFileName(std::string_view name)
{
    const auto slash = name.find_last_of("/\\");
    std::string safe(slash == std::string_view::npos ? name : name.substr(slash + 1));
    for (char& c : safe) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || c == ':')
            c = '_';
    }
    if (safe.empty() || safe == "." || safe == "..")
        safe = "upload";
    return safe.substr(0, 100);
}

} // namespace

UploadedFile::~UploadedFile()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_.parent_path(), ignored);
}

StudioUploads::StudioUploads()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zrsignal-studio-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw InputError("cannot make a directory for uploaded files in " + pattern);
    directory_ = buffer.data();
}

StudioUploads::~StudioUploads()
{
    audio_.clear();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

std::filesystem::path StudioUploads::newFile(std::string_view name)
{
    const std::filesystem::path folder = directory_ / std::to_string(nextId_++);
    std::filesystem::create_directory(folder);
    return folder / safeFileName(name);
}

std::uint64_t StudioUploads::storeAudio(std::string_view name, std::string_view bytes)
{
    const std::lock_guard lock(mutex_);
    const std::uint64_t id = nextId_;
    auto file = std::make_unique<UploadedFile>(newFile(name));
    std::ofstream out(file->path(), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw InputError("cannot keep the audio file " + std::string(name));
    audio_[id] = std::move(file);
    while (audio_.size() > KEPT_AUDIO_FILES)
        audio_.erase(audio_.begin());
    return id;
}

std::optional<std::string> StudioUploads::audioPath(std::uint64_t id) const
{
    const std::lock_guard lock(mutex_);
    const auto found = audio_.find(id);
    if (found == audio_.end())
        return std::nullopt;
    return found->second->path().string();
}

std::unique_ptr<UploadedFile> StudioUploads::writeCsv(std::string_view name, std::string_view text)
{
    std::unique_ptr<UploadedFile> file;
    {
        const std::lock_guard lock(mutex_);
        file = std::make_unique<UploadedFile>(newFile(name));
    }
    std::ofstream out(file->path(), std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out)
        throw InputError("cannot keep the CSV file " + std::string(name));
    return file;
}

std::string StudioUploads::withUserNames(std::string message) const
{
    // DIRECTORY/ID/NAME becomes NAME.
    const std::string prefix = directory_.string() + "/";
    for (auto at = message.find(prefix); at != std::string::npos; at = message.find(prefix, at)) {
        auto end = at + prefix.size();
        while (end < message.size() && message[end] >= '0' && message[end] <= '9')
            ++end;
        if (end < message.size() && message[end] == '/')
            ++end;
        message.erase(at, end - at);
    }
    return message;
}

} // namespace zrsignal
