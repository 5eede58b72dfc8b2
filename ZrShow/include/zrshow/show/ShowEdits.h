// Changes to a running show that arrive from other threads (OSC, the file watcher, a web page, the
// host itself), queued under a lock and applied by the frame loop between two frames.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "zrparser/ZrExport.h"
#include "zrshow/show/ShowFile.h"

namespace zrhost {
class LibraryFailure;
}

namespace zrshow {

class ShowHost;

// A host variable takes a new value from the next frame on.
struct SetVariable {
    double* value;
    double newValue;
};

// A channel of the show file: fixture `fixture`, its channel `channel` (indexes of ShowFile).
struct GroupChannel {
    std::size_t fixture;
    std::size_t channel;
};

// One fixture's channel (a position of the patch) gets a new formula; or, with `group`, that
// channel of every fixture of the group, as if the file said so: the running show then holds the
// formula as its text for the channel, so that a file saved with it reloads as no change.
struct ReplaceFormula {
    std::size_t position;
    std::string formula;
    std::string what; // "fixture 'pars' #2 channel 'red'", for messages
    std::optional<GroupChannel> group = std::nullopt;
    // Tells the client that asked, on the frame loop's thread, once the edit is applied: with the
    // failure and the refusal's text when the formula is refused (the client then reports it;
    // without an answer the show's events do), with nullptr when it runs.
    std::function<void(const zrhost::LibraryFailure* failure, const std::string& refusal)> answer = {};
};

// The show file changed on disk and reads as a valid show.
struct ReloadShow {
    ShowFile show;
};

// A tap of the tempo, at the instant it was made (not when the frame loop takes it).
struct TapBeat {
    std::chrono::steady_clock::time_point instant;
};

// The show's tempo source is asked for a tempo.
struct RequestTempo {
    double bpm;
};

// A client reads the show between two frames, on the frame loop's thread: the host's values are
// written there and are read safely nowhere else while the show runs.
struct ReadShow {
    std::function<void(const ShowHost& host)> read;
};

using ShowEdit = std::variant<SetVariable, ReplaceFormula, ReloadShow, TapBeat, RequestTempo, ReadShow>;

class ZR_API EditQueue {
public:
    // Any thread.
    void push(ShowEdit edit)
    {
        const std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(edit));
        pending_.store(true, std::memory_order_release);
    }

    // Frame loop: swaps every waiting edit into `into` (which should be empty) and returns
    // whether there was any. When none waits this is one atomic load: no lock, no allocation.
    bool takeAll(std::vector<ShowEdit>& into)
    {
        if (!pending_.load(std::memory_order_acquire))
            return false;
        const std::lock_guard lock(mutex_);
        into.swap(waiting_);
        pending_.store(false, std::memory_order_relaxed);
        return true;
    }

private:
    std::mutex mutex_;
    std::vector<ShowEdit> waiting_;
    std::atomic<bool> pending_{false};
};

} // namespace zrshow
