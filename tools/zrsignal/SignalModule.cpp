// Registers the signal plug-in's module for this process and creates plug-in objects from it.
#include "SignalModule.h"

#include <filesystem>
#include <string>
#include <vector>

#include "InputError.h"
#include "zrcomponent/ZrClassTable.h"
#include "zrcomponent/ZrComponentModule.h"
#include "zrsignal/CSignalPlugin.h"

namespace zrsignal {

namespace {

std::filesystem::path signalModulePath()
{
    return (zr::executablePath().parent_path() / ZRSIGNAL_MODULE_FROM_PROGRAM).lexically_normal();
}

} // namespace

void useSignalModule()
{
    static bool registered = false;
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

} // namespace zrsignal
