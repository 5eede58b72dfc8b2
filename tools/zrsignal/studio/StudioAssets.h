// The studio page's files, built into the program (see studio/EmbedAssets.cmake), so that the
// page works offline and needs nothing installed beside the program.
#pragma once

#include <cstddef>
#include <string_view>

namespace zrsignal {

struct StudioAsset {
    std::string_view path;        // as requested: "/", "/studio.js"
    std::string_view contentType;
    std::string_view content;
};

// The asset served at `path`, or nullptr.
const StudioAsset* findStudioAsset(std::string_view path);

} // namespace zrsignal
