// The OSC receiver of a running show (liblo): one thread owns the liblo server, receives
// messages, queues the edits they ask for and sends "/zr/error s" replies to senders.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "OscCommands.h"

namespace zrsignal {

class ShowConsole;

class OscInput {
public:
    // Listens on UDP `port` of every interface. Throws InputError when the port cannot be
    // bound. `edits` and `console` must outlive this object.
    OscInput(std::uint16_t port, OscCommands commands, EditQueue& edits, ShowConsole& console);
    // Stops the thread (within one receive timeout) and closes the port.
    ~OscInput();
    OscInput(const OscInput&) = delete;
    OscInput& operator=(const OscInput&) = delete;

    // Reports a failure to the console and queues the reply "/zr/error s" with it to `to`; the
    // OSC thread sends it from the show's port, where OSC software expects answers. Any thread.
    void replyError(const OscSender& to, const std::string& text);

    // Called by liblo on the OSC thread for every message.
    void receive(const OscMessage& message, const OscSender& from);

private:
    void sendReplies();
    void run();

    struct ServerRelease {
        void operator()(void* server) const;
    };

    OscCommands commands_;
    EditQueue& edits_;
    ShowConsole& console_;
    std::unique_ptr<void, ServerRelease> server_;
    std::mutex repliesMutex_;
    std::vector<std::pair<OscSender, std::string>> replies_;
    std::atomic<bool> stopping_{false};
    std::thread thread_; // last: starts once everything it uses exists
};

} // namespace zrsignal
