// The output factory: an [[output]] of a show file opened as the output of its protocol.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxOutput.h"
#include "zrshow/outputs/SacnPacket.h"
#include "zrshow/show/ShowFile.h"

namespace zrshow {

// Who sends, and how: the same for every output of one show.
struct OutputIdentity {
    SacnCid cid;                    // identifies the show in sACN packets
    std::string sourceName;         // the sACN source name of outputs that name none
    std::uint16_t syncUniverse = 0; // the sACN synchronization universe; 0: none
    ShowExit onExit = ShowExit::Terminate;
};

// The show's outputs as they are opened: with a sync_universe, every sacn output synchronized.
ZR_API std::vector<ShowOutput> outputsAsSent(const ShowFile& show);

// The universe a show's sACN outputs synchronize on: its sync_universe, else the lowest universe
// of its sacn outputs with sync = true; 0 when none is synchronized.
ZR_API std::uint16_t sacnSyncUniverse(const ShowFile& show);

// Opens `output`, whose universe is `universeIndex` in each frame: resolves its destination and
// opens its socket, or connects to olad. Throws InputError when that fails, so a show that cannot
// reach its outputs stops before sending anything.
ZR_API std::unique_ptr<DmxOutput> openOutput(const ShowOutput& output, std::size_t universeIndex,
                                             const OutputIdentity& identity);

// The synchronization packets of `outputs`, one output per destination: sACN's to the sync
// universe's multicast group (or to each unicast address of a synchronized output), ArtSync to
// each destination of an Art-Net output with sync = true. They go after the frame's data.
ZR_API std::vector<std::unique_ptr<DmxOutput>> openSyncOutputs(const std::vector<ShowOutput>& outputs,
                                                               const OutputIdentity& identity);

} // namespace zrshow
