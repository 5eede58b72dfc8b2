// The show and the server, and a clean stop on a signal.
#include "studio/ServeStudio.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>
#include <memory>
#include <thread>

#include "cli/RunShow.h"
#include "cli/ShowConsole.h"
#include "studio/RequestGuard.h"
#include "studio/StudioServer.h"
#include "studio/StudioShow.h"
#ifdef ZRSIGNAL_WITH_LINK
#include "tempo/LinkTempo.h"
#endif
#include "zrhost/InputError.h"
#include "zrshow/show/ShowProblems.h"

namespace zrsignal {

namespace {

// Blocks SIGINT and SIGTERM (and SIGPIPE: a closed page is an error on its socket, not a
// reason to die) in this thread and every thread started after it, so that the server's and
// the show's threads never see them and this thread can wait for them; restored afterwards.
class BlockedStopSignals {
public:
    BlockedStopSignals()
    {
        sigemptyset(&stop_);
        sigaddset(&stop_, SIGINT);
        sigaddset(&stop_, SIGTERM);
        sigset_t blocked = stop_;
        sigaddset(&blocked, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &blocked, &previous_);
    }
    ~BlockedStopSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    BlockedStopSignals(const BlockedStopSignals&) = delete;
    BlockedStopSignals& operator=(const BlockedStopSignals&) = delete;

    void wait() const
    {
        int signal = 0;
        sigwait(&stop_, &signal);
    }

private:
    sigset_t stop_{};
    sigset_t previous_{};
};

} // namespace

int serveStudio(ServeOptions& options)
{
    if (isWildcardAddress(options.listen))
        throw zrhost::InputError("--listen " + options.listen +
                                 ": give the address of one interface, such as 127.0.0.1 or 192.168.1.20; the page "
                                 "must be reached by the address it is served on");
    const BlockedStopSignals signals;
    ShowConsole console(stderr, "zrsignal serve");
    std::unique_ptr<StudioShow> show; // goes after the server has stopped
    // The port first: a show that cannot be served stops before it runs, or sends anything.
    StudioServer server(options.listen, options.port, options.show.inputs.beatTracker);
    if (!options.show.showPath.empty()) {
        options.show.slotRows = nullptr;
        options.show.sendOutputs = options.sendOutputs;
        options.show.paceSimulatedClock = true;
#ifdef ZRSIGNAL_WITH_LINK
        options.show.linkTempo = &makeLinkTempo; // without it, a show with [tempo] source = "link" is refused
#endif
        try {
            show = std::make_unique<StudioShow>(options.show, console);
        } catch (const zrshow::ShowRefused& refused) {
            return reportRefusedShow(refused);
        }
    }
    server.attachShow(show.get());
    std::cout << "zrsignal serve: " << server.url() << std::endl;
    if (server.url().find("?token=") != std::string::npos)
        console.message("zrsignal serve: other machines can reach this address; only a browser that opened the "
                        "address above, with its token, is let in");
    std::atomic<bool> stopping{false};
    std::thread serving([&server, &stopping] {
        server.serve();
        // Serving ended by itself: wake the waiting thread as a signal would.
        if (!stopping)
            kill(getpid(), SIGTERM);
    });
    signals.wait();
    stopping = true;
    server.stop();
    serving.join();
    return 0;
}

} // namespace zrsignal
