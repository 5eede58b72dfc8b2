// The sender loop: take the newest frame, send it to every output, count what went and what
// failed; at the end, what the outputs send as the show ends.
#include "zrshow/outputs/SenderThread.h"

namespace zrshow {

SenderThread::SenderThread(std::vector<std::unique_ptr<DmxOutput>> outputs, std::size_t universes,
                           std::atomic<std::uint64_t>& errors, Report report)
    : outputs_(std::move(outputs)), handoff_(universes), errors_(errors), report_(std::move(report))
{
    for (const auto& output : outputs_)
        deliveries_.push_back({output->name(), 0, 0, {}});
    thread_ = std::thread([this] { run(); });
}

SenderThread::~SenderThread()
{
    finish();
}

void SenderThread::finish()
{
    if (!thread_.joinable())
        return;
    handoff_.stop();
    thread_.join();
}

void SenderThread::count(std::size_t output, bool sent)
{
    OutputDelivery& delivery = deliveries_[output];
    if (sent) {
        ++delivery.sent;
        return;
    }
    errors_.fetch_add(1, std::memory_order_relaxed);
    if (delivery.failed++ == 0) {
        // Once per output: a message per frame would bury every other one.
        delivery.reason = outputs_[output]->lastFailure();
        if (report_)
            report_(delivery.name + ": cannot send: " + delivery.reason + " (further failures are counted)");
    }
}

void SenderThread::run()
{
    while (const DmxFrame* frame = handoff_.takeNewest()) {
        for (std::size_t i = 0; i < outputs_.size(); ++i)
            count(i, outputs_[i]->send(*frame));
    }
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        if (const auto sent = outputs_[i]->end())
            count(i, *sent);
    }
}

} // namespace zrshow
