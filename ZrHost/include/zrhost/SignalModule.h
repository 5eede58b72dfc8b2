// The signal plug-in as a host uses it: the module installed with this library, loaded at run
// time like any other plug-in module, so that every module shares one library in the process.
#pragma once

#include "zrparser/ZrCom.h"
#include "zrparser/ZrExport.h"
#include "zrparser/ZrParserPluginI.h"

namespace zrhost {

// Makes the signal plug-in's module known to this process, once. The module lies at a fixed
// place relative to this library's own file (zrparser/ZrSignalPlugin.so beside it), in the
// build tree as under an install prefix. Throws InputError when it cannot be registered.
ZR_API void useSignalModule();

// A new signal plug-in object, created through the class table like the library's loader does.
ZR_API zr::ComPtr<IZrParserPlugin> createSignalPlugin();

} // namespace zrhost
