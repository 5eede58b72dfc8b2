// What shapes a host parser before it compiles: the frame rate, fixed variables, constants,
// macros, the files that feed variables frame by frame, and further plug-ins.
#pragma once

#include <string>
#include <vector>

#include "zrhost/AudioAnalysis.h"
#include "zrparser/ZrExport.h"

namespace zrhost {

// A name with a number, such as a variable or a constant.
struct NamedNumber {
    std::string name;
    double value = 0.0;
    std::string text; // the definition as the user wrote it, shown when the library refuses it
};

// A macro: PROTOTYPE=BODY.
struct MacroText {
    std::string prototype;
    std::string body;
    std::string text; // as the user wrote it
};

struct HostDefinitions {
    double fps = 40.0;                    // the time step of __timeInc() and of the clock
    std::vector<NamedNumber> variables;   // host variables with a fixed value
    std::vector<NamedNumber> constants;
    std::vector<MacroText> macros;        // defined in this order
    std::string inputPath;                // CSV: one variable per column, one row per frame
    std::string audioPath;                // defines "level", the loudness of each frame, and more
    BeatTrackerFactory beatTracker = nullptr; // finds the beats of audio: "bpm", "beat", "beatphase"
    bool useLocale = false;               // the decimal point of the user's locale
    std::vector<std::string> plugins;     // module files, class ids or ProgIDs
    std::string pluginDir;                // loads every plug-in its info files describe
    std::string pluginPattern = "*.xml";  // info-file names under pluginDir
    // When set, __timeInc() reads it at every evaluation instead of giving 2π / fps: a host
    // whose loops count beats writes 2π × the beats of each frame there.
    const double* timeIncrement = nullptr;
    // false: the library's default parser without the signal plug-in and __timeInc, for hosts
    // that want the bare expression language.
    bool signalPlugin = true;
};

// Reads "NAME=VALUE". Throws InputError "'TEXT': expected NAME=VALUE" or "'TEXT': the value
// is not a number".
ZR_API NamedNumber parseNamedNumber(const std::string& text);

// Reads "PROTOTYPE=BODY": a prototype holds no "=", so the first one ends it and the body may
// hold more (">="). Throws InputError "'TEXT': expected PROTOTYPE=BODY".
ZR_API MacroText parseMacroText(const std::string& text);

// Whether `fps` can be a frame rate: a positive finite number.
ZR_API bool isFrameRate(double fps);

} // namespace zrhost
