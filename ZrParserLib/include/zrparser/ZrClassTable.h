// The process-wide class table: how component classes are found by class id or ProgID and
// created, in place of a system component runtime.
#pragma once

#include <initializer_list>

#include "zrparser/ZrCom.h"

namespace zr {

// Creates an object of a class, stand-alone (outer null) or aggregated, and returns `iid`.
using CreateInstanceFn = HRESULT (*)(IUnknown* outer, const IID& iid, void** object);

// Registers (or replaces) a class under its id and ProgIDs. Returns true so that it can
// initialise a static flag.
bool registerClass(const CLSID& clsid, std::initializer_list<const wchar_t*> progIds, CreateInstanceFn create);
void unregisterClass(const CLSID& clsid);

// Reads a braced class id text, or a registered ProgID. CO_E_CLASSSTRING when neither.
HRESULT clsidFromString(const wchar_t* text, CLSID& clsid);

// Creates an instance of a registered class. REGDB_E_CLASSNOTREG when the class is unknown.
HRESULT createInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object);

} // namespace zr
