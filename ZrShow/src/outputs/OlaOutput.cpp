// libola's client behind the DmxOutput interface: frames streamed, the last one confirmed, and
// reconnection after a lost connection.
#include "zrshow/outputs/OlaOutput.h"

#include <ola/Callback.h>
#include <ola/Clock.h>
#include <ola/DmxBuffer.h>
#include <ola/client/ClientArgs.h>
#include <ola/client/OlaClient.h>
#include <ola/client/Result.h>
#include <ola/io/SelectServer.h>
#include <ola/network/IPV4Address.h>
#include <ola/network/SocketAddress.h>
#include <ola/network/TCPSocket.h>

#include "zrhost/InputError.h"

namespace zrshow {

// One connection to olad, used from the sender thread only: its select server runs only when
// the output looks for a closed connection or waits for olad's answer.
struct OlaOutput::Connection {
    ola::io::SelectServer selectServer;
    std::unique_ptr<ola::network::TCPSocket> socket;
    std::unique_ptr<ola::client::OlaClient> client;
    // Run once olad hangs up, which deletes it; libola deletes only its own wrapper of it, so
    // when olad never hangs up it is deleted here.
    ola::SingleUseCallback0<void>* closeHandler = nullptr;
    bool closed = false;
    std::optional<bool> answer; // olad's answer to the confirmed frame: taken or refused

    // Null when olad does not answer at `port`.
    static std::unique_ptr<Connection> open(std::uint16_t port)
    {
        auto connection = std::make_unique<Connection>();
        connection->socket.reset(ola::network::TCPSocket::Connect(
            ola::network::IPV4SocketAddress(ola::network::IPV4Address::Loopback(), port)));
        if (!connection->socket)
            return nullptr;
        connection->client = std::make_unique<ola::client::OlaClient>(connection->socket.get());
        if (!connection->client->Setup() || !connection->selectServer.AddReadDescriptor(connection->socket.get()))
            return nullptr;
        connection->closeHandler = ola::NewSingleCallback(connection.get(), &Connection::hungUp);
        connection->client->SetCloseHandler(connection->closeHandler);
        return connection;
    }

    ~Connection()
    {
        if (client)
            client->Stop();
        if (socket) {
            selectServer.RemoveReadDescriptor(socket.get());
            socket->Close();
        }
        client.reset(); // and with it the channel that held the close handler
        if (!closed)
            delete closeHandler;
    }

    void hungUp() { closed = true; }
    void answered(const ola::client::Result& result) { answer = result.Success(); }

    // Handles what olad sent (its answers, or the end of the connection) without waiting.
    void poll() { selectServer.RunOnce(ola::TimeInterval(0, 0)); }
};

OlaOutput::OlaOutput(const std::string& host, std::uint16_t port, std::uint32_t universe, std::uint8_t priority,
                     std::size_t universeIndex)
    : port_(port), buffer_(std::make_unique<ola::DmxBuffer>()), universe_(universe), priority_(priority),
      universeIndex_(universeIndex)
{
    name_ = "ola output for universe " + std::to_string(universe_) + " (" + host + ":" + std::to_string(port) + ")";
    // A show never starts olad behind the user's back.
    connection_ = Connection::open(port_);
    if (!connection_)
        throw zrhost::InputError("ola output for universe " + std::to_string(universe_) + ": cannot reach olad on " +
                                 host + ":" + std::to_string(port) + " (is olad running?)");
}

OlaOutput::~OlaOutput() = default;

bool OlaOutput::send(const DmxFrame& frame)
{
    if (connection_) {
        connection_->poll();
        if (connection_->closed)
            connection_.reset();
    }
    if (!connection_) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastAttempt_ < std::chrono::seconds(1))
            return false;
        lastAttempt_ = now;
        connection_ = Connection::open(port_);
        if (!connection_)
            return false;
    }
    const DmxSlots& slots = frame.universes[universeIndex_];
    buffer_->Set(slots.data(), static_cast<unsigned>(slots.size()));
    ola::client::SendDMXArgs args;
    args.priority = priority_;
    connection_->client->SendDMX(universe_, *buffer_, args);
    sentAny_ = true;
    return !connection_->closed;
}

std::optional<bool> OlaOutput::end()
{
    if (!sentAny_ || !connection_ || connection_->closed)
        return std::nullopt;
    ola::client::SendDMXArgs args(ola::NewSingleCallback(connection_.get(), &Connection::answered));
    args.priority = priority_;
    connection_->client->SendDMX(universe_, *buffer_, args);
    const auto deadline = std::chrono::steady_clock::now() + END_WAIT;
    while (!connection_->answer && !connection_->closed && std::chrono::steady_clock::now() < deadline)
        connection_->selectServer.RunOnce(ola::TimeInterval(0, 10000));
    return connection_->answer.value_or(false);
}

} // namespace zrshow
