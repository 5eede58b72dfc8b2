// The signal plug-in as this program uses it: the module installed with it, loaded at run time
// like any other plug-in module, so that every module shares one library in the process.
#pragma once

#include "zrparser/ZrCom.h"
#include "zrparser/ZrParserPluginI.h"

namespace zrsignal {

// Makes the signal plug-in's module known to this process, once. The module lies at a fixed
// place relative to this program's file, in the build tree as under an install prefix.
// Throws InputError when the module cannot be registered.
void useSignalModule();

// A new signal plug-in object, created through the class table like the library's loader does.
zr::ComPtr<IZrParserPlugin> createSignalPlugin();

} // namespace zrsignal
