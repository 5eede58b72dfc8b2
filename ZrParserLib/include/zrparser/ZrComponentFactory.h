// How parsers create the component objects they are asked for by name: plug-ins (loadPlugin)
// and the info-file reader (loadAllPlugins). The expression library has no component runtime
// of its own; the component layer installs one here. Until then every class is unknown, so
// those calls fail with the same catalogued errors as for a class that does not exist.
#pragma once

#include "zrparser/ZrCom.h"
#include "zrparser/ZrExport.h"

namespace zr {

struct ComponentFactory {
    // The class id that a braced class id text or a ProgID names; CO_E_CLASSSTRING when none.
    HRESULT (*classIdFromText)(const wchar_t* text, CLSID& clsid);
    // A new stand-alone object of the class, answering `iid` with one reference;
    // REGDB_E_CLASSNOTREG when the class is unknown.
    HRESULT (*createInstance)(const CLSID& clsid, const IID& iid, void** object);
};

// Makes `factory` the one every parser of the process uses. It must stay valid for the life of
// the process (a static object); installing is thread-safe and may be repeated.
ZR_API void installComponentFactory(const ComponentFactory* factory);

// Through the installed factory: CO_E_CLASSSTRING, resp. REGDB_E_CLASSNOTREG, without one.
ZR_API HRESULT classIdFromText(const wchar_t* text, CLSID& clsid);
ZR_API HRESULT createComponent(const CLSID& clsid, const IID& iid, void** object);

} // namespace zr
