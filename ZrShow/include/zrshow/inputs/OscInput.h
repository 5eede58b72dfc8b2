// The OSC receiver of a running show (liblo): one thread owns the liblo server, receives
// messages, queues the edits they ask for and sends "/zr/error s" replies to senders.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "zrparser/ZrExport.h"
#include "zrshow/show/ShowCommands.h"

namespace zrshow {

class ShowEvents;

// One received message, its single argument already taken out ('\0': none or several).
struct ZR_API OscMessage {
    std::string path;
    char type = '\0'; // OSC type tag: 'f', 'd', 'i', 'h' (numbers), 's' (text)
    double number = 0.0;
    std::string text;

    // The argument as the show's commands take it.
    ShowArgument argument() const;
};

// The message in one OSC packet as it arrives on the wire; none when the bytes are no message.
ZR_API std::optional<OscMessage> decodeOscPacket(const void* data, std::size_t size);

// Where an OSC message came from, to send a reply there.
struct OscSender {
    std::string host;
    std::string port;
};

class ZR_API OscInput {
public:
    // Listens on UDP `port` of every interface. Throws InputError when the port cannot be
    // bound. `edits` and `events` must outlive this object.
    OscInput(std::uint16_t port, ShowCommands commands, EditQueue& edits, ShowEvents& events);
    // Stops the thread (within one receive timeout) and closes the port.
    ~OscInput();
    OscInput(const OscInput&) = delete;
    OscInput& operator=(const OscInput&) = delete;

    // Reports a failure to the events and queues the reply "/zr/error s" with it to `to`; the
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

    ShowCommands commands_;
    EditQueue& edits_;
    ShowEvents& events_;
    std::unique_ptr<void, ServerRelease> server_;
    std::mutex repliesMutex_;
    std::vector<std::pair<OscSender, std::string>> replies_;
    std::atomic<bool> stopping_{false};
    std::thread thread_; // last: starts once everything it uses exists
};

} // namespace zrshow
