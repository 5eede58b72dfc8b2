// Signal handling, the console and the summary around a ShowRunner.
#include "cli/RunShow.h"

#include <atomic>
#include <csignal>
#include <iostream>

#include "cli/ShowConsole.h"
#include "cli/StatusLine.h"
#ifdef ZRSIGNAL_WITH_LINK
#include "tempo/LinkTempo.h"
#endif
#include "zrshow/ShowRunner.h"
#include "zrshow/show/ShowProblems.h"

namespace zrsignal {

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void onInterrupt(int)
{
    interrupted.store(true);
}

// Ctrl-C and SIGTERM end the show after the current frame; a closed pipe or a vanished olad
// is an error to report, not a reason to die. The previous handlers come back afterwards.
class InterruptHandlers {
public:
    InterruptHandlers()
    {
        interrupted.store(false);
        struct sigaction action {};
        action.sa_handler = &onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
        action.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &action, &previousPipe_);
    }
    ~InterruptHandlers()
    {
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
        sigaction(SIGPIPE, &previousPipe_, nullptr);
    }
    InterruptHandlers(const InterruptHandlers&) = delete;
    InterruptHandlers& operator=(const InterruptHandlers&) = delete;

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
    struct sigaction previousPipe_ {};
};

} // namespace

int reportRefusedShow(const zrshow::ShowRefused& refused)
{
    refused.problems().print(std::cerr);
    std::cerr << refused.problems().path() << ": refused with " << refused.problems().count()
              << (refused.problems().count() == 1 ? " problem" : " problems") << "; nothing was sent\n";
    return 1;
}

int runShow(const zrshow::ShowRunOptions& given)
{
    zrshow::ShowRunOptions options = given;
#ifdef ZRSIGNAL_WITH_LINK
    options.linkTempo = &makeLinkTempo; // without it, a show with [tempo] source = "link" is refused
#endif
    ShowConsole console(stderr, "zrsignal run");
    try {
        zrshow::ShowRunner runner(options, console);
        const InterruptHandlers handlers;
        {
            const StatusLine status(console, runner.statistics());
            runner.run(interrupted);
        }
        console.message("zrsignal run: " + runner.statistics().summary(runner.elapsed()));
        if (!runner.undelivered().empty()) {
            console.message("zrsignal run: the show reached none of these outputs: " + runner.undelivered());
            return 1;
        }
    } catch (const zrshow::ShowRefused& refused) {
        return reportRefusedShow(refused);
    }
    return 0;
}

} // namespace zrsignal
