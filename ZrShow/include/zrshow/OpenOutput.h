// The output factory: an [[output]] of a show file opened as the output of its protocol.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxOutput.h"
#include "zrshow/outputs/SacnPacket.h"
#include "zrshow/show/ShowFile.h"

namespace zrshow {

// Who sends: the same for every output of one show.
struct OutputIdentity {
    SacnCid cid;            // identifies the show in sACN packets
    std::string sourceName; // the sACN source name of outputs that name none
};

// Opens `output`, whose universe is `universeIndex` in each frame: resolves its destination and
// opens its socket, or connects to olad. Throws InputError when that fails, so a show that cannot
// reach its outputs stops before sending anything.
ZR_API std::unique_ptr<DmxOutput> openOutput(const ShowOutput& output, std::size_t universeIndex,
                                             const OutputIdentity& identity);

} // namespace zrshow
