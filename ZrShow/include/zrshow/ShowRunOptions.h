// How a show runs: its file, how many frames, on which clock, where its frames go and what
// feeds its variables. Plain values, so a front end can fill them without the show runtime.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "zrhost/AudioAnalysis.h"
#include "zrhost/FrameClock.h"
#include "zrshow/inputs/TempoSource.h"

namespace zrshow {

// Files that feed the show's variables frame by frame, as for a formula session.
struct ShowInputFiles {
    std::string audioPath; // defines "level" and the other variables of audio
    std::string inputPath; // CSV: one variable per column
    zrhost::BeatTrackerFactory beatTracker = nullptr; // finds the beats of the audio
};

struct ShowRunOptions {
    std::string showPath;
    std::optional<std::uint64_t> frames; // none: until interrupted
    zrhost::ClockMode clock = zrhost::ClockMode::Real;
    std::FILE* slotRows = nullptr;       // CSV rows of the slot values go here, instead of the outputs
    bool sendOutputs = true;             // false: the frames go to the observer only
    bool paceSimulatedClock = false;     // frames at fps even when the timers read simulated time
    ShowInputFiles inputs;
    // Audio from a sound card instead of a file: "" the default input device, else a device's
    // number or name as audioInputDevices() lists them. Its beats use inputs.beatTracker.
    std::optional<std::string> audioInput;
    std::optional<std::uint16_t> oscPort; // receive OSC on this UDP port
    std::optional<unsigned> seed;         // seeds the random generator before compiling
    unsigned threads = 0;                 // threads that evaluate each frame; 0: as many as the show keeps busy
    std::string sourceName = "zrshow";    // the sACN source name where the show file gives none; also
                                          // the audio input's client name on a sound server (JACK)
    TempoSourceFactory linkTempo = nullptr; // makes the tempo source of [tempo] source = "link"
};

} // namespace zrshow
