// Loading the beat-tracking module when audio is to be heard.
#include "tempo/BeatTrackingModule.h"

#include <filesystem>

#include "zrcomponent/ZrComponentModule.h"
#include "zrhost/LoadedModule.h"

namespace zrsignal {

zrhost::BeatTrackerFactory loadBeatTracking()
{
    const std::filesystem::path path =
        (zr::executablePath().parent_path() / ZRSIGNAL_BEAT_TRACKING_FROM_PROGRAM).lexically_normal();
    if (!std::filesystem::exists(path))
        return nullptr;
    static const zrhost::LoadedModule module(path, "the beat-tracking module");
    return module.entries<BeatTrackingModule>(BEAT_TRACKING_ENTRY).makeTracker;
}

} // namespace zrsignal
