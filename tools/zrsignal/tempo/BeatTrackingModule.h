// What the beat-tracking module (BeatTracking.so, with aubio) offers: a beat tracker for the host
// libraries. It is a module of its own because aubio is under the GPL: the libraries never link
// it, zrsignal loads it when it hears audio, and a build without it (ZR_WITH_GPL=OFF) has no
// tempo from audio.
#pragma once

#include "zrhost/AudioAnalysis.h"

namespace zrsignal {

struct BeatTrackingModule {
    zrhost::BeatTrackerFactory makeTracker;
};

// The module's one exported function, which returns its entry points.
inline constexpr const char* BEAT_TRACKING_ENTRY = "zrsignalBeatTracking";

// The module's tracker factory, loaded on the first call from the module beside this program;
// nullptr when this zrsignal was built without it. Throws InputError when it is there but cannot
// be loaded.
zrhost::BeatTrackerFactory loadBeatTracking();

} // namespace zrsignal
