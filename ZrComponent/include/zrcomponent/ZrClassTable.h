// The process-wide class table: how component classes are found by class id or ProgID and
// created, in place of a system component runtime.
#pragma once

#include <initializer_list>

#include "zrparser/ZrCom.h"
#include "zrparser/ZrExport.h"

namespace zr {

// Creates an object of a class, stand-alone (outer null) or aggregated, and returns `iid`.
using CreateInstanceFn = HRESULT (*)(IUnknown* outer, const IID& iid, void** object);

// Makes this class table, with the registry behind it, the way every parser of the process
// creates plug-ins (loadPlugin) and the info-file reader (loadAllPlugins), and registers that
// reader the first time. Registering a class or a module for the process does this too; a
// host whose plug-ins are known only to the registry file calls it once before loading them.
// Thread-safe.
ZR_API void useComponentRuntime();

// Registers (or replaces) a class under its id and ProgIDs, and makes sure parsers see it.
// Returns true.
ZR_API bool registerClass(const CLSID& clsid, std::initializer_list<const wchar_t*> progIds, CreateInstanceFn create);
// Registers the info-file reader again after a host unregistered it.
ZR_API bool registerParserInfo();
ZR_API void unregisterClass(const CLSID& clsid);

// Reads a braced class id text, or a ProgID of the class table or else of the registry
// (following CurVer). CO_E_CLASSSTRING when neither.
ZR_API HRESULT clsidFromString(const wchar_t* text, CLSID& clsid);

// Creates an instance of a class of the class table, or else of a class whose module the
// registry names. REGDB_E_CLASSNOTREG when the class is unknown to both.
ZR_API HRESULT createInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object);

} // namespace zr
