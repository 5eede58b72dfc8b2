// Where a show's universes go: one output sends one universe to one destination, by sACN,
// Art-Net or olad's client.
#pragma once

#include <cstddef>
#include <memory>

#include "DmxLevels.h"
#include "SacnPacket.h"
#include "ShowFile.h"

namespace zrsignal {

class DmxOutput {
public:
    virtual ~DmxOutput() = default;

    // Sends this output's universe of `frame`. False when it could not be sent; the next
    // frame tries again. Called from one sender thread, never from the frame loop: it may block.
    virtual bool send(const DmxFrame& frame) = 0;

    // Whether sending may wait on a peer (a TCP connection) rather than only on the local
    // network stack; such outputs get a sender thread of their own.
    virtual bool mayWaitOnPeer() const = 0;
};

// Opens `output`, whose universe is `universeIndex` in each frame: resolves its destination and
// opens its socket, or connects to olad. Throws InputError when that fails, so a show that cannot
// reach its outputs stops before sending anything. `cid` identifies the show in sACN packets.
std::unique_ptr<DmxOutput> openOutput(const ShowOutput& output, std::size_t universeIndex, const SacnCid& cid);

} // namespace zrsignal
