// The studio's show pane: a show run as `zrsignal run` runs it, on a thread of its own, whose
// frames go to the page in a compact binary form (and, when asked, to the show's outputs too),
// and whose formulas the page edits through the same requests as OSC.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "zrhost/FormulaJson.h"
#include "zrhost/FormulaHints.h"
#include "studio/StudioFormulas.h"
#include "zrshow/ShowRunner.h"

namespace zrsignal {

class ShowConsole;

// One frame as the page draws it: the slots, and the tempo when the show has one.
struct StudioFrame {
    zrshow::DmxFrame dmx;
    bool hasTempo = false;
    zrhost::TempoValues tempo;
};

// The messages of the page's frame stream, each "u32 length, then that many bytes" (numbers
// little-endian): u8 kind, u8 1 when the show has a tempo, u16 universe count, u32 0, f64 frame
// number, f64 bpm, f64 beat, f64 beatphase, then 512 slot values per universe (Frame only).
enum class FrameMessage : std::uint8_t { Frame = 1, End = 2, Waiting = 3 };
constexpr std::size_t FRAME_MESSAGE_HEADER = 4 + 40;

// Writes one message into `into` (replacing what it held; its capacity is kept, so a stream that
// reuses one string allocates for the first frame only). `frame` is read for Frame only.
void encodeFrameMessage(FrameMessage kind, const StudioFrame& frame, std::string& into);

// What a channel does for the rig view, from its name ("red", "Dimmer Intensity", "pan"):
// red, green, blue, white, amber, dimmer, pan or tilt; empty when none of these (fine channels
// of a pair included: the coarse one carries the role).
std::string channelRole(const std::string& name);

// The newest frame of a running show for any number of readers: the frame loop publishes each
// frame; readers wait for one newer than the last they took, and may miss frames in between.
class FrameFeed final : public zrshow::FrameObserver {
public:
    enum class Next { Frame, Quiet, Finished, Closed };

    // `tempo` points at the show's "bpm", "beat" and "beatphase" (null: it has none); the frame
    // loop writes them, and reads them here on its own thread.
    void followTempo(const double* bpm, const double* beat, const double* beatphase);

    // Frame loop.
    void frameDone(std::uint64_t frame, const std::vector<zrshow::DmxSlots>& universes) override;
    // No frame will follow: the show has run its frames.
    void finish();
    // Readers stop waiting: the server is stopping.
    void close();

    // Waits up to `timeout` for a frame newer than `seen` (0: none yet) and copies it into
    // `into`, updating `seen`. Quiet: nothing new in time; Finished: the last frame was taken.
    Next next(std::uint64_t& seen, StudioFrame& into, std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    StudioFrame latest_;
    const double* bpm_ = nullptr;
    const double* beat_ = nullptr;
    const double* beatphase_ = nullptr;
    std::uint64_t published_ = 0; // frames published so far
    bool finished_ = false;
    bool closed_ = false;
};

class StudioShow {
public:
    // Reads, checks and compiles the show like `zrsignal run` (throws ShowRefused, InputError
    // or LibraryFailure) and starts its frame loop. `console` must outlive this object.
    StudioShow(const zrshow::ShowRunOptions& options, ShowConsole& console);
    // Stops the frame loop after the current frame.
    ~StudioShow();
    StudioShow(const StudioShow&) = delete;
    StudioShow& operator=(const StudioShow&) = delete;

    // The fixtures, their channels and slots, variables and outputs, as JSON for the page. Each
    // fixture group has its channels with slot offsets and roles, "columns" and "rows" of the
    // picture it makes in the rig view, and arrays rather than an object per fixture (a pixel
    // show has tens of thousands): "cells" [column, row, ...] from its pixel map (else a row or a
    // square of them) and "at" [universe position, first slot from 0, ...] by index.
    const zrhost::Json& layout() const { return layout_; }
    FrameFeed& frames() { return feed_; }

    // Asks the show what an OSC message to `address` would: "/zr/formula/FIXTURE/INDEX/CHANNEL"
    // with a formula, or "/zr/var/NAME" with a value. A formula is compiled by the frame loop
    // before its next frame; this waits for that. Answers {"ok":true}, {"refused":{failure}}
    // when the library refuses the formula (the old one keeps running), or {"error":"..."}.
    // Any thread.
    zrhost::Json edit(const std::string& address, const std::optional<std::string>& formula, std::optional<double> value);

    // The show's names for the formula pane: its host variables with their values between two
    // frames (copied on the frame loop's thread; at once when the show has ended), constants
    // and macros. Any thread; waits for the next frame at most.
    ShowNames names();

private:
    zrhost::Json describeLayout(const zrshow::ShowRunOptions& options) const;

    std::unique_ptr<zrshow::ShowRunner> runner_;
    ShowConsole& console_;
    zrhost::FormulaNames names_; // for the hints about a refused formula
    ShowNames definitions_;      // constants and macros, which a running show keeps as they are
    zrhost::Json layout_;
    FrameFeed feed_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{true};
    std::thread thread_; // last: starts once everything it uses exists
};

} // namespace zrsignal
