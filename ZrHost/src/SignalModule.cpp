// Registers the signal plug-in's module for this process and creates plug-in objects from it.
#include "zrhost/SignalModule.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "zrcomponent/ZrClassTable.h"
#include "zrcomponent/ZrComponentModule.h"
#include "zrhost/InputError.h"
#include "zrhost/LoadedModule.h"
#include "zrsignal/CSignalPlugin.h"

namespace zrhost {

namespace {

std::filesystem::path signalModulePath()
{
    return (hostLibraryDirectory() / ZRHOST_SIGNAL_MODULE_FROM_LIBRARY).lexically_normal();
}

} // namespace

void useSignalModule()
{
    static std::mutex mutex;
    static bool registered = false;
    const std::lock_guard lock(mutex);
    if (registered)
        return;
    const std::filesystem::path module = signalModulePath();
    std::vector<std::wstring> classIds;
    std::string why;
    if (zr::failed(zr::registerModuleForProcess(module, classIds, &why)))
        throw InputError("cannot load the signal plug-in module " + module.string() + ": " + why);
    registered = true;
}

zr::ComPtr<IZrParserPlugin> createSignalPlugin()
{
    useSignalModule();
    zr::ComPtr<IZrParserPlugin> plugin;
    if (zr::failed(zr::createInstance(CLSID_SignalPlugin, nullptr, IID_IZrParserPlugin, plugin.put())))
        throw InputError("cannot create the signal plug-in");
    return plugin;
}

} // namespace zrhost
