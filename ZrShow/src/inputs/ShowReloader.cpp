// Polling with stat(): portable across editors and file systems, cheap at five looks a second.
#include "zrshow/inputs/ShowReloader.h"

#include "zrhost/InputError.h"
#include "zrshow/ShowEvents.h"
#include "zrshow/show/ShowEdits.h"
#include "zrshow/show/ShowPatch.h"
#include "zrshow/show/ShowProblems.h"

namespace zrshow {

ShowReloader::ShowReloader(std::string path, Stamp running, EditQueue& edits, ShowEvents& events,
                           std::chrono::milliseconds interval)
    : path_(std::move(path)), running_(running), edits_(edits), events_(events), interval_(interval), thread_([this] { run(); })
{
}

ShowReloader::~ShowReloader()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

ShowReloader::Stamp ShowReloader::look(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino, info.st_size,
            std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec)};
}

void ShowReloader::reload()
{
    try {
        ShowProblems problems(path_);
        ShowFile show = readShowFile(path_, problems);
        const ShowPatch patch(show, problems);
        if (!problems.empty())
            throw ShowRefused(std::move(problems));
        edits_.push(ReloadShow{std::move(show)});
    } catch (const ShowRefused& refused) {
        events_.message(refused.problems().text() + path_ + ": this version is not used; the show runs on as it was");
    } catch (const zrhost::InputError& error) {
        events_.message(std::string(error.what()) + "; the show runs on as it was");
    }
}

void ShowReloader::run()
{
    Stamp loaded = running_;
    Stamp previous = loaded;
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, interval_, [this] { return stopping_; })) {
        const Stamp now = look(path_);
        // Read once a change has held still for one look.
        if (now.exists && now == previous && now != loaded) {
            loaded = now;
            lock.unlock();
            reload();
            lock.lock();
        }
        previous = now;
    }
}

} // namespace zrshow
