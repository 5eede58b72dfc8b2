// dlopen and dlsym behind a handle that closes itself; the directory of this library by dladdr.
#include "zrhost/LoadedModule.h"

#include <dlfcn.h>

#include "zrhost/InputError.h"

namespace zrhost {

void LoadedModule::Close::operator()(void* handle) const
{
    dlclose(handle);
}

LoadedModule::LoadedModule(const std::filesystem::path& path, std::string what) : path_(path), what_(std::move(what))
{
    // Never unloaded: a module's libraries may keep state, or threads, until the process ends.
    handle_.reset(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
    if (!handle_)
        throw InputError("cannot load " + what_ + " " + path.string() + ": " + dlerror());
}

LoadedModule::~LoadedModule() = default;

void* LoadedModule::function(const char* name) const
{
    void* found = dlsym(handle_.get(), name);
    if (!found)
        throw InputError(path_.string() + " is not " + what_ + ": it has no " + name);
    return found;
}

std::filesystem::path hostLibraryDirectory()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&hostLibraryDirectory), &info) == 0 || !info.dli_fname)
        return {};
    return std::filesystem::path(info.dli_fname).parent_path();
}

} // namespace zrhost
