// The frame's worker threads: a generation counter hands out each frame, a pending count brings
// the results back; both are waited on with atomic waits, so a frame takes no lock.
#include "show/FrameWorkers.h"

#include <immintrin.h>

namespace zrshow {

namespace {

// Waits until `value` differs from `old`: first spinning for about as long as waking a sleeping
// thread takes, since the other side is often nearly there, then sleeping.
template <class Atomic, class Value>
void waitWhileEqual(const Atomic& value, Value old)
{
    for (int spin = 0; spin < 2000; ++spin) {
        if (value.load(std::memory_order_acquire) != old)
            return;
        _mm_pause();
    }
    for (Value now = value.load(std::memory_order_acquire); now == old; now = value.load(std::memory_order_acquire))
        value.wait(old, std::memory_order_acquire);
}

} // namespace

FrameWorkers::FrameWorkers(unsigned threads)
{
    for (unsigned part = 1; part < threads; ++part)
        workers_.emplace_back([this, part] { serve(part); });
}

FrameWorkers::~FrameWorkers()
{
    stopping_.store(true, std::memory_order_relaxed);
    generation_.fetch_add(1, std::memory_order_release);
    generation_.notify_all();
    workers_.clear(); // joins
}

void FrameWorkers::run(void (*work)(void*, unsigned), void* context)
{
    work_ = work;
    context_ = context;
    pending_.store(size() - 1, std::memory_order_relaxed);
    generation_.fetch_add(1, std::memory_order_release);
    generation_.notify_all();
    work(context, 0);
    for (unsigned left = pending_.load(std::memory_order_acquire); left != 0;
         left = pending_.load(std::memory_order_acquire))
        waitWhileEqual(pending_, left);
}

void FrameWorkers::serve(unsigned part)
{
    unsigned seen = 0;
    for (;;) {
        waitWhileEqual(generation_, seen);
        seen = generation_.load(std::memory_order_acquire);
        if (stopping_.load(std::memory_order_relaxed))
            return;
        work_(context_, part);
        if (pending_.fetch_sub(1, std::memory_order_acq_rel) == 1)
            pending_.notify_one();
    }
}

} // namespace zrshow
