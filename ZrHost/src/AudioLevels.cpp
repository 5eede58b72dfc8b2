// Audio levels through the audio-file module, loaded on the first audio file read.
#include "zrhost/AudioLevels.h"

#include "AudioFileModule.h"
#include "zrhost/LoadedModule.h"

namespace zrhost {

std::vector<double> readAudioLevels(const std::string& path, double fps)
{
    static const LoadedModule module(hostLibraryDirectory() / ZRHOST_AUDIO_MODULE_FROM_LIBRARY,
                                     "the audio-file module");
    static const AudioFileModule& audio = module.entries<AudioFileModule>(AUDIO_FILE_MODULE_ENTRY);
    return audio.readLevels(path, fps);
}

} // namespace zrhost
