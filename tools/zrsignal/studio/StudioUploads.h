// Files the studio page sends for the formula pane's inputs, an audio file and a CSV table, kept
// in a directory of the server's own that goes away with it, so that eval's readers read them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace zrsignal {

// A file that is removed, with its directory, when the object goes.
class UploadedFile {
public:
    explicit UploadedFile(std::filesystem::path path) : path_(std::move(path)) {}
    ~UploadedFile();
    UploadedFile(const UploadedFile&) = delete;
    UploadedFile& operator=(const UploadedFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

class StudioUploads {
public:
    // Makes the directory (mkdtemp below $TMPDIR or /tmp). Throws InputError when it cannot.
    StudioUploads();
    // Removes the directory and everything in it.
    ~StudioUploads();
    StudioUploads(const StudioUploads&) = delete;
    StudioUploads& operator=(const StudioUploads&) = delete;

    // Keeps `bytes` as an audio file called `name` (its last path part) and returns its id. Only
    // the newest few are kept. Any thread.
    std::uint64_t storeAudio(std::string_view name, std::string_view bytes);
    // The file of an audio id, or nothing when it is unknown or no longer kept. Any thread.
    std::optional<std::string> audioPath(std::uint64_t id) const;

    // Writes one request's CSV text as a file called `name`, removed with the returned object.
    std::unique_ptr<UploadedFile> writeCsv(std::string_view name, std::string_view text);

    // `message` with this directory's paths shortened to the file names the user chose.
    std::string withUserNames(std::string message) const;

private:
    std::filesystem::path newFile(std::string_view name);

    static constexpr std::size_t KEPT_AUDIO_FILES = 4;

    std::filesystem::path directory_;
    mutable std::mutex mutex_;
    std::uint64_t nextId_ = 1;
    std::map<std::uint64_t, std::unique_ptr<UploadedFile>> audio_;
};

} // namespace zrsignal
