// The process-wide class table: how component classes are found by class id or ProgID and
// created, in place of a system component runtime.
#pragma once

#include <initializer_list>

#include "zrparser/ZrCom.h"
#include "zrparser/ZrExport.h"

namespace zr {

// Creates an object of a class, stand-alone (outer null) or aggregated, and returns `iid`.
using CreateInstanceFn = HRESULT (*)(IUnknown* outer, const IID& iid, void** object);

// Registers (or replaces) a class under its id and ProgIDs. Returns true so that it can
// initialise a static flag.
ZR_API bool registerClass(const CLSID& clsid, std::initializer_list<const wchar_t*> progIds, CreateInstanceFn create);
ZR_API void unregisterClass(const CLSID& clsid);

// Reads a braced class id text, or a ProgID of the class table or else of the registry
// (following CurVer). CO_E_CLASSSTRING when neither.
ZR_API HRESULT clsidFromString(const wchar_t* text, CLSID& clsid);

// Creates an instance of a class of the class table, or else of a class whose module the
// registry names. REGDB_E_CLASSNOTREG when the class is unknown to both.
ZR_API HRESULT createInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object);

} // namespace zr
