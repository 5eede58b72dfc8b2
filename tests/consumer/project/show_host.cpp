// A show host outside the source tree: links the installed show library alone, runs a show file
// for ten frames on the simulated clock and prints its slot values as CSV rows, sending nothing.
#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>

#include "zrhost/InputError.h"
#include "zrhost/LibraryFailure.h"
#include "zrshow/ShowEvents.h"
#include "zrshow/ShowRunner.h"
#include "zrshow/show/ShowProblems.h"

namespace {

// What the show tells its operator goes to stderr.
class Messages final : public zrshow::ShowEvents {
public:
    void message(const std::string& text) override { std::cerr << text << '\n'; }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: show_host SHOW.toml\n";
        return 1;
    }
    zrshow::ShowRunOptions options;
    options.showPath = argv[1];
    options.frames = 10;
    options.clock = zrhost::ClockMode::Simulated;
    options.slotRows = stdout;
    Messages messages;
    try {
        zrshow::ShowRunner runner(options, messages);
        const std::atomic<bool> interrupted{false};
        runner.run(interrupted);
    } catch (const zrshow::ShowRefused& refused) {
        refused.problems().print(std::cerr);
        return 1;
    } catch (const zrhost::InputError& error) {
        std::cerr << error.what() << '\n';
        return 1;
    } catch (const zrhost::LibraryFailure& failure) {
        failure.print(std::cerr);
        return 2;
    }
    return 0;
}
