// `zrsignal run`: options, signal handling and the summary around a ShowRunner.
#include "RunCommand.h"

#include <csignal>
#include <iostream>

#include <CLI/CLI.hpp>

#include "ShowConsole.h"
#include "ShowProblems.h"
#include "StatusLine.h"

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

void addShowFeedOptions(CLI::App& command, ShowRunOptions& options)
{
    command.add_option("--audio", options.inputs.audioPath, "Audio file: defines the variable level, the loudness of each frame")
        ->type_name("FILE");
    command.add_option("--input", options.inputs.inputPath,
                       "CSV file: first row names variables, each further row gives their values for one frame")
        ->type_name("FILE.csv");
    command
        .add_option_function<unsigned>(
            "--osc-port", [&options](const unsigned& port) { options.oscPort = static_cast<std::uint16_t>(port); },
            "Receive OSC on this UDP port: /zr/var/NAME f, /zr/formula/FIXTURE/INDEX/CHANNEL s")
        ->check(CLI::Range(1, 65535))
        ->type_name("P");
    command
        .add_option_function<unsigned>(
            "--seed", [&options](const unsigned& s) { options.seed = s; }, "Seed the random generator before compiling")
        ->check(CLI::NonNegativeNumber)
        ->type_name("S");
}

void addShowFramesOptions(CLI::App& command, ShowRunOptions& options, const std::string& framesHelp,
                          const std::string& clockHelp)
{
    command
        .add_option_function<std::uint64_t>(
            "--frames", [&options](const std::uint64_t& n) { options.frames = n; }, framesHelp)
        ->check(CLI::NonNegativeNumber)
        ->type_name("N");
    command
        .add_option_function<std::string>(
            "--clock",
            [&options](const std::string& text) {
                options.clock = text == "sim" ? ClockMode::Simulated : ClockMode::Real;
            },
            clockHelp)
        ->check(CLI::IsMember({"sim", "real"}));
}

void addShowRunOptions(CLI::App& command, ShowRunOptions& options)
{
    command.add_option("SHOW", options.showPath, "The show file")->required()->type_name("SHOW.toml");
    addShowFramesOptions(command, options, "Number of frames (default: until interrupted)",
                         "real (default): frames paced at fps; sim: as fast as possible, timers read the frame time");
    command
        .add_option_function<std::string>(
            "--print", [&options](const std::string&) { options.printCsv = true; },
            "csv: write the slot values as CSV rows to stdout instead of sending them")
        ->check(CLI::IsMember({"csv"}));
    addShowFeedOptions(command, options);
}

int reportRefusedShow(const ShowRefused& refused)
{
    refused.problems().print(std::cerr);
    std::cerr << refused.problems().path() << ": refused with " << refused.problems().count()
              << (refused.problems().count() == 1 ? " problem" : " problems") << "; nothing was sent\n";
    return 1;
}

int runShow(const ShowRunOptions& options)
{
    ShowConsole console(stderr);
    try {
        ShowRunner runner(options, console);
        const InterruptHandlers handlers;
        {
            const StatusLine status(console, runner.statistics());
            runner.run(interrupted);
        }
        console.message("zrsignal run: " + runner.statistics().summary(runner.elapsed()));
    } catch (const ShowRefused& refused) {
        return reportRefusedShow(refused);
    }
    return 0;
}

} // namespace zrsignal
