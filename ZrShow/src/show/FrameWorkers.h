// Threads that share the work of a frame: the calling thread and size() - 1 workers that wait
// for each frame's work and report back when they are done.
#pragma once

#include <atomic>
#include <thread>
#include <vector>

namespace zrshow {

class FrameWorkers {
public:
    // `threads` threads in all, the calling one included (at least 1).
    explicit FrameWorkers(unsigned threads);
    FrameWorkers(const FrameWorkers&) = delete;
    FrameWorkers& operator=(const FrameWorkers&) = delete;
    ~FrameWorkers();

    unsigned size() const { return static_cast<unsigned>(workers_.size()) + 1; }

    // Runs work(context, k) for every k from 0 to size() - 1 at once, k = 0 on the calling
    // thread, and returns when every one has returned; what they wrote is then visible here.
    // `work` must not throw. Allocates nothing and takes no lock.
    void run(void (*work)(void* context, unsigned part), void* context);

private:
    void serve(unsigned part);

    std::vector<std::jthread> workers_;
    void (*work_)(void*, unsigned) = nullptr;
    void* context_ = nullptr;
    std::atomic<unsigned> generation_{0}; // counts the frames handed out; bumped to stop
    std::atomic<unsigned> pending_{0};    // workers still busy with the current frame
    std::atomic<bool> stopping_{false};
};

} // namespace zrshow
