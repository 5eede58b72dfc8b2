// What the audio-file module (AudioFiles.so, with libsndfile) offers libZrHost. The module is
// loaded only by a host that reads an audio file, so others never load libsndfile and codecs.
#pragma once

#include <string>
#include <vector>

namespace zrhost {

struct AudioFileModule {
    // See readAudioLevels.
    std::vector<double> (*readLevels)(const std::string& path, double fps);
};

// The module's one exported function, which returns its entry points.
inline constexpr const char* AUDIO_FILE_MODULE_ENTRY = "zrhostAudioFileModule";

} // namespace zrhost
