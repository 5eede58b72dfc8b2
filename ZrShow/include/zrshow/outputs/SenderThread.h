// A thread that sends the newest frame to a set of outputs, so that the frame loop never waits
// on the network: the loop publishes a frame and moves on.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxOutput.h"
#include "zrshow/outputs/FrameHandoff.h"

namespace zrshow {

class ZR_API SenderThread {
public:
    // Starts sending to `outputs` frames of `universes` universes; each output that cannot
    // send a frame adds one to `errors`.
    SenderThread(std::vector<std::unique_ptr<DmxOutput>> outputs, std::size_t universes,
                 std::atomic<std::uint64_t>& errors);
    // Sends the last published frame, then stops.
    ~SenderThread();
    SenderThread(const SenderThread&) = delete;
    SenderThread& operator=(const SenderThread&) = delete;

    // Frame loop: fill writable(), then publish(). Neither waits nor allocates.
    DmxFrame& writable() { return handoff_.writable(); }
    void publish() { handoff_.publish(); }

private:
    void run();

    std::vector<std::unique_ptr<DmxOutput>> outputs_;
    FrameHandoff handoff_;
    std::atomic<std::uint64_t>& errors_;
    std::thread thread_; // last: starts once everything it uses exists
};

} // namespace zrshow
