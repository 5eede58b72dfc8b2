// libola's StreamingClient behind the DmxOutput interface, with reconnection.
#include "zrshow/outputs/OlaOutput.h"

#include <ola/DmxBuffer.h>
#include <ola/client/StreamingClient.h>

#include "zrhost/InputError.h"

namespace zrshow {

OlaOutput::OlaOutput(const std::string& host, std::uint16_t port, std::uint32_t universe, std::uint8_t priority,
                     std::size_t universeIndex)
    : buffer_(std::make_unique<ola::DmxBuffer>()), universe_(universe), priority_(priority), universeIndex_(universeIndex)
{
    name_ = "ola output for universe " + std::to_string(universe_) + " (" + host + ":" + std::to_string(port) + ")";
    ola::client::StreamingClient::Options options;
    options.auto_start = false; // a show never starts olad behind the user's back
    options.server_port = port;
    client_ = std::make_unique<ola::client::StreamingClient>(options);
    if (!client_->Setup())
        throw zrhost::InputError("ola output for universe " + std::to_string(universe_) + ": cannot reach olad on " +
                                 host + ":" + std::to_string(port) + " (is olad running?)");
}

OlaOutput::~OlaOutput() = default;

bool OlaOutput::send(const DmxFrame& frame)
{
    if (!connected_) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastAttempt_ < std::chrono::seconds(1))
            return false;
        lastAttempt_ = now;
        client_->Stop();
        connected_ = client_->Setup();
        if (!connected_)
            return false;
    }
    const DmxSlots& slots = frame.universes[universeIndex_];
    buffer_->Set(slots.data(), static_cast<unsigned>(slots.size()));
    ola::client::StreamingClient::SendArgs args;
    args.priority = priority_;
    connected_ = client_->SendDMX(universe_, *buffer_, args);
    return connected_;
}

} // namespace zrshow
