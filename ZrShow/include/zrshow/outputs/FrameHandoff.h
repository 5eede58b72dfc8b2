// Hands the newest frame from the frame loop to a sender thread without a lock and without
// waiting: three frame buffers, one written by the loop, one read by the sender, and one holding
// the newest finished frame. A sender that falls behind skips to the newest frame.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxLevels.h"

namespace zrshow {

class ZR_API FrameHandoff {
public:
    // Allocates the three frames of `universes` universes each, once.
    explicit FrameHandoff(std::size_t universes);

    // Frame loop: the frame to fill, then publish() makes it the newest. Never waits.
    DmxFrame& writable() { return frames_[writing_]; }
    void publish();

    // Sender: waits for a frame newer than the last one taken and returns it; it stays valid
    // until the next call. After stop(), returns what was published before and then nullptr.
    const DmxFrame* takeNewest();
    void stop();

private:
    static constexpr std::uint8_t INDEX = 0x3;
    static constexpr std::uint8_t FRESH = 0x4;

    std::array<DmxFrame, 3> frames_;
    std::uint8_t writing_ = 0;
    std::uint8_t reading_ = 2;
    std::atomic<std::uint8_t> newest_{1}; // index of the middle frame, FRESH when not yet taken
    std::atomic<std::uint32_t> signal_{0}; // changes on every publish and on stop: the sender waits on it
    std::atomic<bool> stopped_{false};
};

} // namespace zrshow
