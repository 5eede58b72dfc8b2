// An output through olad: the universe goes to a running olad with libola's client, and olad
// drives whatever it is configured for (USB interfaces, Art-Net, sACN, ...).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include <string>

#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxOutput.h"

namespace ola {
class DmxBuffer;
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
    // Sends the last frame once more, as a request olad answers, and waits for the answer (at
    // most END_WAIT): olad reads a connection's messages in order, so every frame before it has
    // then been taken. Without this, the frames olad has not read yet when the show closes the
    // connection are lost: olad drops what is unread when a client hangs up.
    std::optional<bool> end() override;
    std::string lastFailure() const override { return "olad does not answer"; }
    bool mayWaitOnPeer() const override { return true; }

    static constexpr std::chrono::seconds END_WAIT{2};

private:
    struct Connection;

    std::uint16_t port_;
    std::unique_ptr<Connection> connection_; // null while olad is not reached
    std::unique_ptr<ola::DmxBuffer> buffer_;
    std::uint32_t universe_;
    std::uint8_t priority_;
    std::size_t universeIndex_;
    bool sentAny_ = false;
    std::chrono::steady_clock::time_point lastAttempt_{};
};

} // namespace zrshow
