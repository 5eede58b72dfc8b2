// A thread that sends the newest frame to a set of outputs, so that the frame loop never waits
// on the network: the loop publishes a frame and moves on.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxOutput.h"
#include "zrshow/outputs/FrameHandoff.h"

namespace zrshow {

// What one output delivered over a run.
struct OutputDelivery {
    std::string name;         // the output's name
    std::uint64_t sent = 0;   // packets (frames, and what it sent at the end) that went
    std::uint64_t failed = 0; // those that the system refused
    std::string reason;       // why the first one failed
};

class ZR_API SenderThread {
public:
    // Tells the person running the show about a failing output: once per output, from the
    // sender thread.
    using Report = std::function<void(const std::string&)>;

    // Starts sending to `outputs`, in their order, frames of `universes` universes; each
    // packet an output cannot send adds one to `errors`. The first failure of each output is
    // reported with its reason.
    SenderThread(std::vector<std::unique_ptr<DmxOutput>> outputs, std::size_t universes,
                 std::atomic<std::uint64_t>& errors, Report report);
    // finish(), when not done yet.
    ~SenderThread();
    SenderThread(const SenderThread&) = delete;
    SenderThread& operator=(const SenderThread&) = delete;

    // Frame loop: fill writable(), then publish(). Neither waits nor allocates.
    DmxFrame& writable() { return handoff_.writable(); }
    void publish() { handoff_.publish(); }

    // Sends the last published frame, then what each output sends at the end, and stops.
    void finish();
    // After finish(): what each output delivered, in the order of the outputs.
    const std::vector<OutputDelivery>& deliveries() const { return deliveries_; }

private:
    void run();
    void count(std::size_t output, bool sent);

    std::vector<std::unique_ptr<DmxOutput>> outputs_;
    std::vector<OutputDelivery> deliveries_; // written by the thread only, read after it ended
    FrameHandoff handoff_;
    std::atomic<std::uint64_t>& errors_;
    Report report_;
    std::thread thread_; // last: starts once everything it uses exists
};

} // namespace zrshow
