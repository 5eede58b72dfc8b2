// `zrsignal serve`: options, the show and the server, and a clean stop on a signal.
#include "ServeCommand.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <thread>

#include <CLI/CLI.hpp>
#include <pthread.h>
#include <unistd.h>

#include "InputError.h"
#include "RequestGuard.h"
#include "RunCommand.h"
#include "ShowConsole.h"
#include "ShowProblems.h"
#include "StudioServer.h"
#include "StudioShow.h"

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

void addServeOptions(CLI::App& command, ServeOptions& options)
{
    command.add_option("SHOW", options.show.showPath, "A show file: the page shows its fixtures, live")
        ->type_name("SHOW.toml");
    command.add_option("--port", options.port, "TCP port of the page (0: any free port)")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str()
        ->type_name("P");
    command.add_option("--listen", options.listen,
                       "The address to serve on: 127.0.0.1 (default) keeps the page to this machine")
        ->type_name("ADDRESS");
    command.add_flag("--outputs", options.sendOutputs,
                     "Send the show's frames to its outputs too (sACN, Art-Net, olad), as zrsignal run does");
    addShowFramesOptions(command, options.show, "Run the show for N frames, then hold the last (default: until stopped)",
                         "real (default): timers read the steady clock; sim: they read each frame's time, so the "
                         "frames are those of run --clock sim (still paced at fps)");
    addShowFeedOptions(command, options.show);
}

int runServe(ServeOptions& options)
{
    if (isWildcardAddress(options.listen))
        throw InputError("--listen " + options.listen +
                         ": give the address of one interface, such as 127.0.0.1 or 192.168.1.20; the page must "
                         "be reached by the address it is served on");
    const BlockedStopSignals signals;
    ShowConsole console(stderr);
    std::unique_ptr<StudioShow> show; // goes after the server has stopped
    // The port first: a show that cannot be served stops before it runs, or sends anything.
    StudioServer server(options.listen, options.port);
    if (!options.show.showPath.empty()) {
        options.show.printCsv = false;
        options.show.sendOutputs = options.sendOutputs;
        options.show.paceSimulatedClock = true;
        try {
            show = std::make_unique<StudioShow>(options.show, console);
        } catch (const ShowRefused& refused) {
            return reportRefusedShow(refused);
        }
    }
    server.attachShow(show.get());
    std::cout << "zrsignal serve: " << server.url() << std::endl;
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
