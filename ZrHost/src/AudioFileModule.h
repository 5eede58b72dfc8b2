// What the audio-file module (AudioFiles.so, with libsndfile) offers libZrHost. The module is
// loaded only by a host that reads an audio file, so others never load libsndfile and codecs.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace zrhost {

struct AudioFileModule {
    // Decodes the file at `path`: tells `begin` its sample rate, then hands `take` its samples
    // in blocks, each sample the average of its channels. Throws InputError naming the file.
    void (*readMono)(const std::string& path, const std::function<void(double sampleRate)>& begin,
                     const std::function<void(const double* samples, std::size_t count)>& take);
};

// The module's one exported function, which returns its entry points.
inline constexpr const char* AUDIO_FILE_MODULE_ENTRY = "zrhostAudioFileModule";

} // namespace zrhost
