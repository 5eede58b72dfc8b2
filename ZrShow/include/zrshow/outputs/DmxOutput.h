// Where a show's universes go: one output sends one universe of each frame to one destination.
#pragma once

#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxLevels.h"

namespace zrshow {

class ZR_API DmxOutput {
public:
    virtual ~DmxOutput() = default;

    // Sends this output's universe of `frame`. False when it could not be sent; the next
    // frame tries again. Called from one sender thread, never from the frame loop: it may block.
    virtual bool send(const DmxFrame& frame) = 0;

    // Whether sending may wait on a peer (a TCP connection) rather than only on the local
    // network stack; such outputs get a sender thread of their own.
    virtual bool mayWaitOnPeer() const = 0;
};

} // namespace zrshow
