// Frame deadlines counted from an anchor that moves to "now" after a slow frame.
#include "zrshow/FramePacer.h"

namespace zrshow {

using zrhost::ClockMode;
using zrhost::FrameClock;

FramePacer::FramePacer(ClockMode mode, double fps, FrameClock& clock, PacerTime time)
    : mode_(mode), period_(1.0 / fps), clock_(clock), time_(std::move(time))
{
}

FramePacer::Clock::time_point FramePacer::dueTime(std::uint64_t frame) const
{
    // From the anchor rather than by adding periods, so rounding never accumulates.
    return anchor_ + std::chrono::duration_cast<Clock::duration>(period_ * static_cast<double>(frame - anchorFrame_));
}

void FramePacer::beginFrame(std::uint64_t frame)
{
    if (mode_ == ClockMode::Simulated) {
        clock_.enterFrame(frame);
        return;
    }
    if (frame == 0 || !anchored_) {
        anchor_ = time_.now();
        anchorFrame_ = frame;
        anchored_ = true;
    } else {
        time_.sleepUntil(dueTime(frame));
    }
    // The timers of this frame read one instant: when it began, or, paced at fps with timers on
    // the simulated clock (a preview), the frame's own time.
    if (clock_.isRealTime())
        clock_.beginFrameNow();
    else
        clock_.enterFrame(frame);
}

bool FramePacer::endFrame(std::uint64_t frame)
{
    if (mode_ == ClockMode::Simulated)
        return false;
    const Clock::time_point now = time_.now();
    if (now <= dueTime(frame + 1))
        return false;
    // Late: the next frame starts right away and the ones after it at fps from there.
    anchor_ = now;
    anchorFrame_ = frame + 1;
    return true;
}

} // namespace zrshow
