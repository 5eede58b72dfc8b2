// What a running show measures about itself: frames, frame time, slow frames and errors,
// written by the frame loop and the senders and read by the status line, all through atomics.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "zrparser/ZrExport.h"

namespace zrshow {

struct ZR_API ShowStatistics {
    std::atomic<std::uint64_t> frames{0};
    std::atomic<std::uint64_t> slowFrames{0};
    std::atomic<std::uint64_t> errors{0}; // formulas that threw, packets not sent, edits refused
    std::atomic<std::uint64_t> unsentPackets{0}; // of those, the packets not sent, counted at the end
    std::atomic<std::uint64_t> busyNanos{0};
    std::atomic<std::uint64_t> maxBusyNanos{0};
    // Since the status line last looked; it takes them with exchange(0).
    std::atomic<std::uint64_t> windowFrames{0};
    std::atomic<std::uint64_t> windowBusyNanos{0};
    std::atomic<std::uint64_t> windowMaxBusyNanos{0};
    // The show's tempo, when an input gives it one.
    std::atomic<bool> hasTempo{false};
    std::atomic<double> bpm{0.0};
    std::atomic<std::uint64_t> beats{0};

    // Frame loop: one frame took `busy` (its work, not its wait).
    void recordFrame(std::chrono::nanoseconds busy, bool slow);
    // Frame loop: the tempo of one frame, and whether a beat fell in it.
    void recordTempo(double framesBpm, bool beat);

    // "N frames in S s (F fps); frame time M ms mean, X ms max; K slow frames; E errors", with
    // "(P packets not sent)" when outputs failed, and with a tempo "; B beats, T bpm at the end".
    std::string summary(std::chrono::duration<double> elapsed) const;
};

} // namespace zrshow
