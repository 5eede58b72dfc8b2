// Per-frame loudness of an audio file, as the percent level that lighting formulas read.
#pragma once

#include <string>
#include <vector>

#include "zrparser/ZrExport.h"

namespace zrhost {

// Reads any format libsndfile reads and cuts it into frames of sampleRate / fps samples. A
// frame's level is the RMS of its samples (channels mixed down by averaging) × 100 × √2,
// clamped to 100, so a full-scale sine reads 100. The last frame may be partial.
// Throws InputError naming the file when it cannot be read.
ZR_API std::vector<double> readAudioLevels(const std::string& path, double fps);

} // namespace zrhost
