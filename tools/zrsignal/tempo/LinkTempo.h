// A show's tempo from an Ableton Link session: every program on the network that joins it shares
// one tempo and one beat. Link is under the GPL, so it lives in zrsignal's show commands' module
// alone (built with ZR_WITH_GPL); the show runtime gets this factory through ShowRunOptions.
// This header names no Link type, so that only LinkTempo.cpp compiles Link's headers.
#pragma once

#include <memory>

#include "zrshow/inputs/TempoSource.h"

namespace zrshow {
struct ShowTempo;
}

namespace zrsignal {

// Joins the Link session (enabled at once); a [tempo] bpm other than 0 is the tempo proposed to
// it (a session already running keeps its own). Throws InputError when Link cannot start.
std::unique_ptr<zrshow::TempoSource> makeLinkTempo(const zrshow::ShowTempo& tempo);

} // namespace zrsignal
