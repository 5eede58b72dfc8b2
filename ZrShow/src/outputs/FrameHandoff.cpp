// The triple buffer: exchanges of one atomic index, and C++20 atomic waiting for the sender.
#include "zrshow/outputs/FrameHandoff.h"

namespace zrshow {

FrameHandoff::FrameHandoff(std::size_t universes)
{
    for (DmxFrame& frame : frames_)
        frame.universes.assign(universes, DmxSlots{});
}

void FrameHandoff::publish()
{
    writing_ = newest_.exchange(static_cast<std::uint8_t>(writing_ | FRESH), std::memory_order_acq_rel) & INDEX;
    signal_.fetch_add(1, std::memory_order_release);
    signal_.notify_one();
}

const DmxFrame* FrameHandoff::takeNewest()
{
    for (;;) {
        // Read the signal before looking, so a publish between the look and the wait ends the wait.
        const std::uint32_t seen = signal_.load(std::memory_order_acquire);
        if (newest_.load(std::memory_order_acquire) & FRESH) {
            reading_ = newest_.exchange(reading_, std::memory_order_acq_rel) & INDEX;
            return &frames_[reading_];
        }
        if (stopped_.load(std::memory_order_acquire))
            return nullptr;
        signal_.wait(seen, std::memory_order_acquire);
    }
}

void FrameHandoff::stop()
{
    stopped_.store(true, std::memory_order_release);
    signal_.fetch_add(1, std::memory_order_release);
    signal_.notify_one();
}

} // namespace zrshow
