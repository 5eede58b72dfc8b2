// libola's StreamingClient behind the DmxOutput interface, with reconnection.
#include "OlaOutput.h"

#include <ola/DmxBuffer.h>
#include <ola/client/StreamingClient.h>

#include "InputError.h"

namespace zrsignal {

OlaOutput::OlaOutput(const ShowOutput& output, std::size_t universeIndex)
    : buffer_(std::make_unique<ola::DmxBuffer>()), universe_(output.universe), priority_(output.priority),
      universeIndex_(universeIndex)
{
    ola::client::StreamingClient::Options options;
    options.auto_start = false; // a show never starts olad behind the user's back
    options.server_port = output.port;
    client_ = std::make_unique<ola::client::StreamingClient>(options);
    if (!client_->Setup())
        throw InputError("ola output for universe " + std::to_string(universe_) + ": cannot reach olad on " +
                         output.address + ":" + std::to_string(output.port) + " (is olad running?)");
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

} // namespace zrsignal
