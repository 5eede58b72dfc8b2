// Where a show's universes go: one output sends one universe of each frame to one destination.
#pragma once

#include <optional>
#include <string>

#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxLevels.h"

namespace zrshow {

class ZR_API DmxOutput {
public:
    virtual ~DmxOutput() = default;

    // Sends this output's universe of `frame`. False when it could not be sent; the next
    // frame tries again. Called from one sender thread, never from the frame loop: it may block.
    virtual bool send(const DmxFrame& frame) = 0;

    // Once, after the last frame: what the output sends as the show ends (sACN: the end of its
    // stream): whether that went, or nothing when it sends nothing (the default).
    virtual std::optional<bool> end() { return std::nullopt; }

    // Why the last send failed ("Network is unreachable"), for messages.
    virtual std::string lastFailure() const { return "not sent"; }

    // Whether sending may wait on a peer (a TCP connection) rather than only on the local
    // network stack; such outputs get a sender thread of their own.
    virtual bool mayWaitOnPeer() const = 0;

    // Names the output in messages: "sacn output for universe 1 (239.255.0.1:5568 on eth0)".
    const std::string& name() const { return name_; }

protected:
    std::string name_;
};

} // namespace zrshow
