// An output through olad: the universe goes to a running olad with libola's streaming client,
// and olad drives whatever it is configured for (USB interfaces, Art-Net, sACN, ...).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include <string>

#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxOutput.h"

namespace ola {
class DmxBuffer;
namespace client {
class StreamingClient;
}
} // namespace ola

namespace zrshow {

class ZR_API OlaOutput final : public DmxOutput {
public:
    // olad's client port; olad takes any 32-bit universe number.
    static constexpr std::uint16_t DEFAULT_PORT = 9010;

    // Connects to the olad on this machine at `port` (`host` names it in messages) to send the
    // universe at `universeIndex` of each frame as olad's universe `universe`. Throws InputError
    // when olad does not answer: it is never started on the show's behalf.
    OlaOutput(const std::string& host, std::uint16_t port, std::uint32_t universe, std::uint8_t priority,
              std::size_t universeIndex);
    ~OlaOutput() override;

    // Sends the universe; after a lost connection, tries to reconnect at most once a second
    // and reports every frame it cannot send.
    bool send(const DmxFrame& frame) override;
    std::string lastFailure() const override { return "olad does not answer"; }
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

} // namespace zrshow
