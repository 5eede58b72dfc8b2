// The two layers that class lookups read: registrations made for this process only, over the
// registry file.
#pragma once

#include <functional>

#include "zrcomponent/ZrRegistry.h"

namespace zr {

// The registry as this process sees it: the file (empty when it is missing, unreadable or
// corrupt) with the process's own registrations laid over it.
RegistryTree effectiveRegistry();

// Runs `action` with this thread's registry updates going into `layer` instead of the file.
HRESULT withUpdatesInto(RegistryTree& layer, const std::function<HRESULT()>& action);

// Lays `layer` over the process's own registrations.
void addToProcessLayer(const RegistryTree& layer);

} // namespace zr
