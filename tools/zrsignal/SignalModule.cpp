// Registers the signal plug-in's module for this process and creates plug-in objects from it.
#include "SignalModule.h"

#include <string>
#include <vector>

#include "InputError.h"
#include "zrparser/ZrClassTable.h"
#include "zrparser/ZrComponentModule.h"
#include "zrsignal/CSignalPlugin.h"

namespace zrsignal {

void useSignalModule()
{
    static bool registered = false;
    if (registered)
        return;
    std::vector<std::wstring> classIds;
    std::string why;
    if (zr::failed(zr::registerModuleForProcess(ZRSIGNAL_SIGNAL_MODULE, classIds, &why)))
        throw InputError(std::string("cannot load the signal plug-in module ") + ZRSIGNAL_SIGNAL_MODULE + ": " + why);
    registered = true;
}

PluginPtr createSignalPlugin()
{
    useSignalModule();
    void* plugin = nullptr;
    if (zr::failed(zr::createInstance(CLSID_SignalPlugin, nullptr, IID_IZrParserPlugin, &plugin)))
        throw InputError("cannot create the signal plug-in");
    return PluginPtr(static_cast<IZrParserPlugin*>(plugin));
}

} // namespace zrsignal
