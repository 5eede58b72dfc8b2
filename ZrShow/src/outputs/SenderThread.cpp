// The sender loop: take the newest frame, send it to every output, count failures.
#include "zrshow/outputs/SenderThread.h"

namespace zrshow {

SenderThread::SenderThread(std::vector<std::unique_ptr<DmxOutput>> outputs, std::size_t universes,
                           std::atomic<std::uint64_t>& errors)
    : outputs_(std::move(outputs)), handoff_(universes), errors_(errors), thread_([this] { run(); })
{
}

SenderThread::~SenderThread()
{
    handoff_.stop();
    thread_.join();
}

void SenderThread::run()
{
    while (const DmxFrame* frame = handoff_.takeNewest()) {
        for (const auto& output : outputs_) {
            if (!output->send(*frame))
                errors_.fetch_add(1, std::memory_order_relaxed);
        }
    }
}

} // namespace zrshow
