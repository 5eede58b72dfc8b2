// Something outside the show that feeds its variables before each frame, as the world has it at
// that instant: a sound card, a tempo source, MIDI.
#pragma once

#include <chrono>
#include <cstdint>

#include "zrparser/ZrExport.h"

namespace zrshow {

class ZR_API LiveInput {
public:
    virtual ~LiveInput() = default;

    // Frame loop, before frame `frame` is evaluated; `instant` is when the frame began on the
    // steady clock. Allocates nothing, takes no lock and never waits.
    virtual void beforeFrame(std::uint64_t frame, std::chrono::steady_clock::time_point instant) = 0;
};

} // namespace zrshow
