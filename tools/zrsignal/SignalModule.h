// The signal plug-in as this program uses it: the module built beside it, loaded at run time
// like any other plug-in module, so that every module shares one library in the process.
#pragma once

#include <memory>

#include "zrparser/ZrParserPluginI.h"

namespace zrsignal {

// Makes the signal plug-in's module known to this process, once. Throws InputError when the
// module cannot be registered.
void useSignalModule();

struct PluginRelease {
    void operator()(IZrParserPlugin* plugin) const { plugin->Release(); }
};
using PluginPtr = std::unique_ptr<IZrParserPlugin, PluginRelease>;

// A new signal plug-in object, created through the class table like the library's loader does.
PluginPtr createSignalPlugin();

} // namespace zrsignal
