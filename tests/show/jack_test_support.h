// A JACK server with its dummy driver (no sound hardware), started by a test under a name of its
// own and stopped by its pid, for tests of audio and MIDI that go through a real server.
#pragma once

#include <cstdlib>
#include <string>

#include <unistd.h>

#include "show_test_support.h"

namespace showtest {

class JackServer {
public:
    // Starts `jackd -d dummy` with `period` frames a cycle at 48 kHz; check running().
    JackServer(const std::string& directory, unsigned period)
        : name_("zrtest" + std::to_string(getpid())),
          server_({"jackd", "--no-realtime", "-n", name_, "-d", "dummy", "-r", "48000", "-p", std::to_string(period)},
                  directory + "/jackd.out", directory + "/jackd.err")
    {
        // This process's own clients (RtMidi, libjack) find the server by its name too.
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        const std::vector<std::string> list = {"jack_lsp"};
        running_ = waitFor([&] { return run(list, directory).status == 0; }, std::chrono::seconds(10));
    }

    // SIGTERM, so that jackd takes itself out of JACK's shared registry: killed, it would stay
    // there, and after eight such servers no new one starts on the machine.
    ~JackServer() { server_.stop(SIGTERM); }
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    bool running() const { return running_; }
    // The setting that sends another process's clients to this server.
    std::string environment() const { return "JACK_DEFAULT_SERVER=" + name_; }
    std::string log() const { return server_.err(); }

private:
    std::string name_;
    Child server_;
    bool running_ = false;
};

} // namespace showtest
