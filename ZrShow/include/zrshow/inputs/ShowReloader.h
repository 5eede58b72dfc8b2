// Watches a running show's file: when it changes on disk and then holds still, it is read
// again on the watcher's thread; a valid show is queued for the frame loop, problems are shown.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include <sys/stat.h>

#include "zrparser/ZrExport.h"

namespace zrshow {

class EditQueue;
class ShowEvents;

class ZR_API ShowReloader {
public:
    // What identifies one version of the file on disk: a change of its modification time, size
    // or identity (editors that save by renaming make a new file) is a new version.
    struct Stamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        std::chrono::nanoseconds modified{0};

        bool operator==(const Stamp&) const = default;
    };

    // The stamp of the file at `path` now.
    static Stamp look(const std::string& path);

    // Looks at `path` every `interval`. A version other than `running` (the stamp taken before
    // the running show was read, so that no change made while it compiled is missed) is read
    // once the next look sees the same, so a half-written file is rarely read. `edits` and
    // `events` must outlive this object.
    ShowReloader(std::string path, Stamp running, EditQueue& edits, ShowEvents& events,
                 std::chrono::milliseconds interval = std::chrono::milliseconds(200));
    ~ShowReloader();
    ShowReloader(const ShowReloader&) = delete;
    ShowReloader& operator=(const ShowReloader&) = delete;

private:
    void reload();
    void run();

    std::string path_;
    Stamp running_;
    EditQueue& edits_;
    ShowEvents& events_;
    std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_; // last: starts once everything it uses exists
};

} // namespace zrshow
