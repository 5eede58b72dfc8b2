// Changes to a running show that arrive from other threads (OSC, the file watcher, a web page, the
// host itself), queued under a lock and applied by the frame loop between two frames.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "zrparser/ZrExport.h"
#include "zrshow/show/ShowFile.h"

namespace zrhost {
class LibraryFailure;
}

namespace zrshow {

// A host variable takes a new value from the next frame on.
struct SetVariable {
    double* value;
    double newValue;
};

// One fixture's channel (a position of the patch) gets a new formula.
struct ReplaceFormula {
    std::size_t position;
    std::string formula;
    std::string what; // "fixture 'pars' #2 channel 'red'", for messages
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

using ShowEdit = std::variant<SetVariable, ReplaceFormula, ReloadShow, TapBeat, RequestTempo>;

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
