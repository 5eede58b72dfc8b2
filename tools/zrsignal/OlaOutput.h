// An output through olad: the universe goes to a running olad with libola's streaming client,
// and olad drives whatever it is configured for (USB interfaces, Art-Net, sACN, ...).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "DmxOutput.h"

namespace ola {
class DmxBuffer;
namespace client {
class StreamingClient;
}
} // namespace ola

namespace zrsignal {

class OlaOutput final : public DmxOutput {
public:
    // Connects to the olad on this machine at `output.port`. Throws InputError when olad does
    // not answer: it is never started on the show's behalf.
    OlaOutput(const ShowOutput& output, std::size_t universeIndex);
    ~OlaOutput() override;

    // Sends the universe; after a lost connection, tries to reconnect at most once a second
    // and reports every frame it cannot send.
    bool send(const DmxFrame& frame) override;
    bool mayWaitOnPeer() const override { return true; }

private:
    std::unique_ptr<ola::client::StreamingClient> client_;
    std::unique_ptr<ola::DmxBuffer> buffer_;
    std::uint32_t universe_;
    std::uint8_t priority_;
    std::size_t universeIndex_;
    bool connected_ = true;
    std::chrono::steady_clock::time_point lastAttempt_{};
};

} // namespace zrsignal
