// dlopen of the show commands' module, once, on the first command that needs it.
#include "cli/ShowCommandsModule.h"

#include <dlfcn.h>

#include <filesystem>
#include <memory>

#include "zrcomponent/ZrComponentModule.h"
#include "zrhost/InputError.h"

namespace zrsignal {

namespace {

struct ModuleClose {
    void operator()(void* handle) const { dlclose(handle); }
};

} // namespace

const ShowCommandsModule& loadShowCommands()
{
    static std::unique_ptr<void, ModuleClose> handle;
    static const ShowCommandsModule* module = nullptr;
    if (module)
        return *module;
    const std::filesystem::path path =
        (zr::executablePath().parent_path() / ZRSIGNAL_SHOW_COMMANDS_FROM_PROGRAM).lexically_normal();
    // Never unloaded: the show's libraries keep state until the process ends.
    handle.reset(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
    if (!handle)
        throw zrhost::InputError("cannot load the show commands' module " + path.string() + ": " + dlerror());
    const auto entry = reinterpret_cast<ShowCommandsEntry>(dlsym(handle.get(), SHOW_COMMANDS_ENTRY));
    if (!entry)
        throw zrhost::InputError(path.string() + " is not the show commands' module: it has no " +
                                 SHOW_COMMANDS_ENTRY);
    module = entry();
    return *module;
}

} // namespace zrsignal
