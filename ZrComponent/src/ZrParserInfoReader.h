// The info-file reader component, which the component runtime registers in the class table.
#pragma once

#include "zrparser/ZrCom.h"
#include "zrparser/ZrParserInfo.h"

namespace zr {

// Creates a reader (stand-alone only: CLASS_E_NOAGGREGATION with an outer object).
HRESULT createParserInfoReader(IUnknown* outer, const IID& iid, void** object);

} // namespace zr
