// A module loaded at run time with dlopen, only by the host that needs it: what a program does
// not use costs it no start-up time. Modules stay in the process until it ends.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "zrparser/ZrExport.h"

namespace zrhost {

class ZR_API LoadedModule {
public:
    // Loads the module at `path`; `what` names it in errors ("the show commands' module").
    // Throws InputError when it cannot be loaded.
    LoadedModule(const std::filesystem::path& path, std::string what);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // The module's exported function `name`, which takes nothing and returns a pointer to `T`
    // (its table of entry points). Throws InputError when the module has no such function.
    template <class T>
    const T& entries(const char* name) const
    {
        using Entry = const T* (*)();
        return *reinterpret_cast<Entry>(function(name))();
    }

private:
    void* function(const char* name) const;

    struct Close {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Close> handle_;
    std::filesystem::path path_;
    std::string what_;
};

// The directory of libZrHost.so, where the modules installed with it are found: the signal
// plug-in in zrparser/, the audio-file reader in zrhost/.
ZR_API std::filesystem::path hostLibraryDirectory();

} // namespace zrhost
