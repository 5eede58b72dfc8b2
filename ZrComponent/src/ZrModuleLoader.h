// Classes found through the registry: ProgIDs resolved to class ids, and objects created by
// the module that a class id's InprocServer32 names.
#pragma once

#include <optional>
#include <string_view>

#include "zrparser/ZrCom.h"

namespace zr {

// The class id the registry gives a ProgID: its CurVer is followed to the current version's
// ProgID, whose CLSID subkey holds the class id. nullopt when the ProgID is not registered.
std::optional<CLSID> clsidFromRegistry(std::wstring_view progId);

// Creates an object through the module registered for `clsid`: its DllGetClassObject gives the
// class factory, whose CreateInstance makes the object. REGDB_E_CLASSNOTREG when the class is
// not registered, CO_E_DLLNOTFOUND or CO_E_ERRORINDLL when the module cannot serve it.
HRESULT createFromRegistry(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object);

} // namespace zr
