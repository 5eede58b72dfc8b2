// A peer of the Link session for the tests, as another program on the network would be: it joins
// the session, waits for the other peers, may set the session's tempo, and reports what it sees
// on stdout, one line at a time as it happens:
//   peers N        the number of other peers, at each change
//   set BPM        it set the session's tempo
//   tempo BPM      the session's tempo, at the start and at each change
//   phase P at T   every 20 ms: the phase in the beat (0 to 1) at T, microseconds of the steady
//                  clock (CLOCK_MONOTONIC, the same in every process of the machine)
// It ends on SIGTERM or SIGINT, or after --seconds (default 60).
//   link_peer [--peers N] [--tempo BPM] [--seconds S]
#include <ableton/Link.hpp>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

std::atomic<bool> stopping{false};

extern "C" void onStop(int)
{
    stopping.store(true);
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t peers = 0;
    double tempo = 0.0;
    double seconds = 60.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--peers") == 0)
            peers = std::strtoul(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--tempo") == 0)
            tempo = std::strtod(argv[i + 1], nullptr);
        else if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::strtod(argv[i + 1], nullptr);
        else {
            std::fprintf(stderr, "usage: link_peer [--peers N] [--tempo BPM] [--seconds S]\n");
            return 2;
        }
    }
    std::signal(SIGTERM, onStop);
    std::signal(SIGINT, onStop);

    ableton::Link link(120.0);
    link.enable(true);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::size_t seenPeers = 0;
    double seenTempo = 0.0;
    bool set = tempo <= 0.0;
    unsigned rounds = 0;
    std::printf("peers 0\n");
    while (!stopping.load() && std::chrono::steady_clock::now() < end) {
        const std::size_t now = link.numPeers();
        if (now != seenPeers) {
            seenPeers = now;
            std::printf("peers %zu\n", now);
        }
        if (!set && seenPeers >= peers) {
            auto state = link.captureAppSessionState();
            state.setTempo(tempo, link.clock().micros());
            link.commitAppSessionState(state);
            set = true;
            std::printf("set %.3f\n", tempo);
        }
        const double current = link.captureAppSessionState().tempo();
        if (std::fabs(current - seenTempo) > 0.0005) {
            seenTempo = current;
            std::printf("tempo %.3f\n", current);
        }
        if (++rounds % 10 == 0) {
            const auto at = link.clock().micros();
            const auto steady = std::chrono::steady_clock::now().time_since_epoch();
            std::printf("phase %.6f at %lld\n", link.captureAppSessionState().phaseAtTime(at, 1.0),
                        static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(steady).count()));
        }
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    link.enable(false);
    return 0;
}
