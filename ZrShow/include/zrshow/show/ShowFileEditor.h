// Changes written into a show file in place: the text of a channel's formula is replaced where it
// stands, every other byte (comments, layout, the order of keys) stays as the author wrote it,
// and the file is replaced atomically. A file that changed on disk since it was read is not
// written over.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zrparser/ZrExport.h"

namespace zrshow {

// A new formula for one channel of a fixture group, as the show file names them.
struct FormulaChange {
    std::string fixture;
    std::string channel;
    std::string formula;
};

// `text` (a show file; `path` names it in messages) with the formula of each change written in
// place of the one there, as a TOML basic string. Throws InputError when a change has no place
// in the file: no such fixture or channel, or a channel of a profile whose formula the file
// does not give (its default).
ZR_API std::string withChangedFormulas(std::string_view text, const std::string& path,
                                       const std::vector<FormulaChange>& changes);

// What identifies one content of a file: a 64-bit FNV-1a hash of its bytes.
ZR_API std::uint64_t contentHash(std::string_view text);

// Replaces the file at `path` (where a symbolic link points, for one) with `text` atomically: a
// temporary file in the same directory, with the file's permissions, written and flushed to the
// disk, then renamed over it. Throws InputError naming what failed; the file is then as it was.
ZR_API void replaceFileAtomically(const std::string& path, std::string_view text);

// The show file that edits are saved into: the content it was read with (or last saved)
// is kept as a hash, and a save over a file whose content is no longer that is refused.
class ZR_API ShowFileSaver {
public:
    enum class Outcome { Saved, Conflict };

    // Reads the file now: this content is the one edits are made on. Throws InputError.
    explicit ShowFileSaver(std::string path);

    // Writes `changes` into the file, unless its content changed on disk since it was read or
    // last saved (Conflict: nothing is written, and the file's new content becomes the one the
    // next save is made on, as the show reloads it). Throws InputError when a change has no
    // place in the file, or the file cannot be read or written.
    Outcome save(const std::vector<FormulaChange>& changes);

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::uint64_t hash_;
};

} // namespace zrshow
