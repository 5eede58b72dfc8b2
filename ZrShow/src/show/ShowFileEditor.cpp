// In-place edits of a show file's TOML text: toml++ finds where a formula's string begins, a
// small scanner finds where it ends, and only those bytes are replaced.
#include "zrshow/show/ShowFileEditor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include <toml++/toml.h>

#include "zrhost/FileText.h"
#include "zrhost/InputError.h"
#include "zrshow/show/ShowFile.h"
#include "zrshow/show/ShowProblems.h"

namespace zrshow {

namespace fs = std::filesystem;
using zrhost::InputError;

namespace {

// The byte offset of a toml++ position: lines from 1, columns from 1 counted in code points.
std::optional<std::size_t> offsetOf(std::string_view text, const toml::source_position& position)
{
    std::size_t offset = 0;
    for (std::size_t line = 1; line < position.line; ++line) {
        offset = text.find('\n', offset);
        if (offset == std::string_view::npos)
            return std::nullopt;
        ++offset;
    }
    for (std::size_t column = 1; column < position.column; ++column) {
        if (offset >= text.size() || text[offset] == '\n')
            return std::nullopt;
        // Past the continuation bytes of a multi-byte character.
        do
            ++offset;
        while (offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80);
    }
    return offset;
}

// Where the TOML string that starts at `begin` ends (one past its closing quote), or nothing
// when no string starts there. The four forms: "basic", 'literal', """multi-line""", '''multi-line'''.
std::optional<std::size_t> stringEnd(std::string_view text, std::size_t begin)
{
    if (begin >= text.size() || (text[begin] != '"' && text[begin] != '\''))
        return std::nullopt;
    const char quote = text[begin];
    const bool escapes = quote == '"';
    const bool multiLine = text.substr(begin, 3) == std::string(3, quote);
    std::size_t at = begin + (multiLine ? 3 : 1);
    while (at < text.size()) {
        const char c = text[at];
        if (escapes && c == '\\') {
            at += 2;
            continue;
        }
        if (!multiLine && c == '\n')
            return std::nullopt;
        if (c == quote) {
            if (!multiLine)
                return at + 1;
            if (text.substr(at, 3) == std::string(3, quote)) {
                // Up to two quotes of the content may stand right before the closing three.
                std::size_t end = at + 3;
                for (int extra = 0; extra < 2 && end < text.size() && text[end] == quote; ++extra)
                    ++end;
                return end;
            }
        }
        ++at;
    }
    return std::nullopt;
}

// `formula` as a TOML basic string.
std::string basicString(std::string_view formula)
{
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string quoted = "\"";
    for (const char c : formula) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\n': quoted += "\\n"; break;
        case '\t': quoted += "\\t"; break;
        case '\r': quoted += "\\r"; break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                quoted += "\\u00";
                quoted += HEX[byte >> 4];
                quoted += HEX[byte & 0xF];
            } else {
                quoted += c;
            }
        }
    }
    return quoted + "\"";
}

const toml::table* fixtureTable(const toml::table& root, const std::string& name)
{
    const toml::array* fixtures = root["fixture"].as_array();
    if (!fixtures)
        return nullptr;
    for (const toml::node& element : *fixtures) {
        const toml::table* table = element.as_table();
        if (table && (*table)["name"].value<std::string>() == name)
            return table;
    }
    return nullptr;
}

// The string node that holds the formula of `change` in `root` (the parsed `text`).
const toml::node& formulaNode(const toml::table& root, std::string_view text, const std::string& path,
                              const FormulaChange& change)
{
    const std::string what = "fixture '" + change.fixture + "' channel '" + change.channel + "'";
    const toml::table* fixture = fixtureTable(root, change.fixture);
    if (!fixture)
        throw InputError(path + ": there is no fixture '" + change.fixture + "' in the file");
    if (const toml::array* channels = (*fixture)["channels"].as_array()) {
        for (const toml::node& element : *channels) {
            const toml::table* channel = element.as_table();
            if (!channel || (*channel)["name"].value<std::string>() != change.channel)
                continue;
            if (const toml::node* formula = channel->get("formula"); formula && formula->is_string())
                return *formula;
        }
        throw InputError(path + ": " + what + " is not in the file");
    }
    // A profile's channel: its formula is the entry of `formulas` the show read for it (keys
    // may be the channel's name or its common name), found by where it stands.
    ShowProblems problems(path);
    const ShowFile show = parseShowText(text, path, problems);
    const toml::table* formulas = (*fixture)["formulas"].as_table();
    for (const ShowFixture& read : show.fixtures) {
        if (read.name != change.fixture)
            continue;
        for (const ShowChannel& channel : read.channels) {
            if (channel.name != change.channel || !formulas)
                continue;
            for (auto&& [key, value] : *formulas) {
                if (value.is_string() && value.source().begin.line == channel.line &&
                    value.value<std::string>() == channel.formula)
                    return value;
            }
        }
    }
    throw InputError(path + ": " + what + " has no formula of its own in the file (it plays the profile's "
                                          "default): add it under the fixture's formulas to save it");
}

} // namespace

std::string withChangedFormulas(std::string_view text, const std::string& path,
                                const std::vector<FormulaChange>& changes)
{
    toml::table root;
    try {
        root = toml::parse(text, path);
    } catch (const toml::parse_error& error) {
        throw InputError(path + ":" + std::to_string(error.source().begin.line) + ": " +
                         std::string(error.description()));
    }
    struct Replacement {
        std::size_t begin;
        std::size_t end;
        std::string text;
    };
    std::vector<Replacement> replacements;
    for (const FormulaChange& change : changes) {
        const toml::node& node = formulaNode(root, text, path, change);
        const auto begin = offsetOf(text, node.source().begin);
        const auto end = begin ? stringEnd(text, *begin) : std::nullopt;
        if (!end)
            throw InputError(path + ":" + std::to_string(node.source().begin.line) +
                             ": the formula's text could not be found where toml++ places it");
        // A later change of the same channel wins.
        std::erase_if(replacements, [&](const Replacement& r) { return r.begin == *begin; });
        replacements.push_back({*begin, *end, basicString(change.formula)});
    }
    // From the end of the text back, so that each offset still holds when it is used.
    std::sort(replacements.begin(), replacements.end(), [](const auto& a, const auto& b) { return a.begin > b.begin; });
    std::string edited(text);
    for (const Replacement& r : replacements)
        edited.replace(r.begin, r.end - r.begin, r.text);
    return edited;
}

std::uint64_t contentHash(std::string_view text)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

namespace {

// A file descriptor, closed when it goes.
class OpenFile {
public:
    explicit OpenFile(int descriptor) : descriptor_(descriptor) {}
    ~OpenFile()
    {
        if (descriptor_ >= 0)
            ::close(descriptor_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int get() const { return descriptor_; }
    // Closes it now, reporting whether the data went out.
    bool close()
    {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return ::close(descriptor) == 0;
    }

private:
    int descriptor_;
};

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

} // namespace

void replaceFileAtomically(const std::string& shown, std::string_view text)
{
    // A show file reached by a symbolic link is saved where the link points; the link stays.
    std::error_code error;
    const fs::path resolved = fs::canonical(shown, error);
    const std::string path = error ? shown : resolved.string();
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    std::string temporary = path + ".saving-XXXXXX";
    OpenFile file(::mkstemp(temporary.data()));
    if (file.get() < 0)
        throw InputError(systemError("cannot create a file beside " + path));
    // The temporary file goes unless it took the show file's place.
    bool renamed = false;
    struct RemoveUnlessRenamed {
        const std::string& path;
        const bool& renamed;
        ~RemoveUnlessRenamed()
        {
            if (!renamed)
                ::unlink(path.c_str());
        }
    } cleanup{temporary, renamed};
    if (exists)
        ::fchmod(file.get(), info.st_mode & 07777);
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t count = ::write(file.get(), text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            throw InputError(systemError("cannot write " + temporary));
        written += static_cast<std::size_t>(count);
    }
    if (::fsync(file.get()) != 0 || !file.close())
        throw InputError(systemError("cannot write " + temporary + " to the disk"));
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        throw InputError(systemError("cannot put the saved file in place of " + path));
    renamed = true;
    // The rename itself reaches the disk with the directory.
    const std::string directory = fs::path(path).parent_path().string();
    OpenFile folder(::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY));
    if (folder.get() >= 0)
        ::fsync(folder.get());
}

ShowFileSaver::ShowFileSaver(std::string path)
    : path_(std::move(path)), hash_(contentHash(zrhost::readWholeFile(path_)))
{
}

ShowFileSaver::Outcome ShowFileSaver::save(const std::vector<FormulaChange>& changes)
{
    const std::string current = zrhost::readWholeFile(path_);
    const std::uint64_t hash = contentHash(current);
    if (hash != hash_) {
        hash_ = hash;
        return Outcome::Conflict;
    }
    const std::string edited = withChangedFormulas(current, path_, changes);
    replaceFileAtomically(path_, edited);
    hash_ = contentHash(edited);
    return Outcome::Saved;
}

} // namespace zrshow
