// liblo server on a thread of our own: receive with a short timeout, then send queued replies.
// One thread owns the server, so liblo is never used from two threads at once.
#include "zrshow/inputs/OscInput.h"

#include <lo/lo.h>

#include "zrhost/InputError.h"
#include "zrshow/ShowEvents.h"

namespace zrshow {

namespace {

// How long one receive waits; also the longest a stop or a reply waits.
constexpr int RECEIVE_TIMEOUT_MS = 20;

OscMessage messageOf(const char* path, const char* types, lo_arg** argv, int argc)
{
    OscMessage received;
    received.path = path;
    if (argc == 1) {
        received.type = types[0];
        switch (types[0]) {
        case 'f': received.number = argv[0]->f; break;
        case 'd': received.number = argv[0]->d; break;
        case 'i': received.number = argv[0]->i; break;
        case 'h': received.number = static_cast<double>(argv[0]->h); break;
        case 's': received.text = &argv[0]->s; break;
        default: break;
        }
    }
    return received;
}

int onMessage(const char* path, const char* types, lo_arg** argv, int argc, lo_message message, void* input)
{
    const OscMessage received = messageOf(path, types, argv, argc);
    OscSender from;
    if (lo_address source = lo_message_get_source(message)) {
        const char* host = lo_address_get_hostname(source);
        const char* port = lo_address_get_port(source);
        from = {host ? host : "", port ? port : ""};
    }
    static_cast<OscInput*>(input)->receive(received, from);
    return 0;
}

} // namespace

std::optional<OscMessage> decodeOscPacket(const void* data, std::size_t size)
{
    int result = 0;
    // liblo takes the bytes as they are: it reads them only.
    lo_message message = lo_message_deserialise(const_cast<void*>(data), size, &result);
    if (!message)
        return std::nullopt;
    const char* path = lo_get_path(const_cast<void*>(data), static_cast<ssize_t>(size));
    OscMessage decoded = messageOf(path ? path : "", lo_message_get_types(message), lo_message_get_argv(message),
                                   lo_message_get_argc(message));
    lo_message_free(message);
    return decoded;
}

ShowArgument OscMessage::argument() const
{
    switch (type) {
    case 'f':
    case 'd':
    case 'i':
    case 'h': return number;
    case 's': return text;
    default: return std::monostate{};
    }
}

void OscInput::ServerRelease::operator()(void* server) const
{
    lo_server_free(static_cast<lo_server>(server));
}

OscInput::OscInput(std::uint16_t port, ShowCommands commands, EditQueue& edits, ShowEvents& events)
    : commands_(std::move(commands)), edits_(edits), events_(events)
{
    // Without an error handler liblo prints its own message; ours is thrown.
    server_.reset(lo_server_new_with_proto(std::to_string(port).c_str(), LO_UDP, [](int, const char*, const char*) {}));
    if (!server_)
        throw zrhost::InputError("OSC port " + std::to_string(port) + ": cannot listen on this UDP port (in use?)");
    lo_server_add_method(static_cast<lo_server>(server_.get()), nullptr, nullptr, &onMessage, this);
    thread_ = std::thread([this] { run(); });
}

OscInput::~OscInput()
{
    stopping_.store(true);
    thread_.join();
}

void OscInput::receive(const OscMessage& message, const OscSender& from)
{
    auto result = commands_.interpret(message.path, message.argument());
    if (auto* edit = std::get_if<ShowEdit>(&result)) {
        // A refused formula is answered to its sender.
        if (auto* replace = std::get_if<ReplaceFormula>(edit)) {
            replace->answer = [this, from](const zrhost::LibraryFailure* failure, const std::string& refusal) {
                if (failure)
                    replyError(from, refusal);
            };
        }
        edits_.push(std::move(*edit));
    } else {
        replyError(from, message.path + ": " + std::get<std::string>(result));
    }
}

void OscInput::replyError(const OscSender& to, const std::string& text)
{
    events_.message("OSC from " + to.host + ":" + to.port + ": " + text);
    const std::lock_guard lock(repliesMutex_);
    replies_.emplace_back(to, text);
}

void OscInput::sendReplies()
{
    std::vector<std::pair<OscSender, std::string>> sending;
    {
        const std::lock_guard lock(repliesMutex_);
        sending.swap(replies_);
    }
    for (const auto& [to, text] : sending) {
        lo_address address = lo_address_new(to.host.c_str(), to.port.c_str());
        if (!address)
            continue;
        lo_send_from(address, static_cast<lo_server>(server_.get()), LO_TT_IMMEDIATE, "/zr/error", "s", text.c_str());
        lo_address_free(address);
    }
}

void OscInput::run()
{
    while (!stopping_.load()) {
        lo_server_recv_noblock(static_cast<lo_server>(server_.get()), RECEIVE_TIMEOUT_MS);
        sendReplies();
    }
}

} // namespace zrshow
