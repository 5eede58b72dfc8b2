// zrregsvr [-u] MODULE.so: loads a component module and calls its registration entry point
// (DllRegisterServer), or with -u its unregistration entry point (DllUnregisterServer).
#include <cstdio>
#include <cstring>
#include <string>

#include "zrcomponent/ZrComponentModule.h"
#include "zrcomponent/ZrRegistry.h"

namespace {

int usage()
{
    std::fprintf(stderr, "usage: zrregsvr [-u] MODULE.so\n"
                         "  Registers the component classes of MODULE.so in the registry (%s),\n"
                         "  or removes them with -u. The registry file is $ZR_REGISTRY, else\n"
                         "  $XDG_CONFIG_HOME/zrparser/registry, else ~/.config/zrparser/registry.\n",
                 zr::registryPath().c_str());
    return 2;
}

std::string hex(zr::HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

// A short explanation of the status codes registration commonly ends with.
const char* meaning(zr::HRESULT hr)
{
    switch (hr) {
    case zr::CO_E_DLLNOTFOUND: return "the module cannot be loaded";
    case zr::CO_E_ERRORINDLL: return "the module does not export this entry point";
    case zr::REGDB_E_READREGDB: return "the registry file cannot be read";
    case zr::REGDB_E_WRITEREGDB: return "the registry file cannot be written";
    case zr::E_REGISTRY_CORRUPT: return "the registry file is corrupt; it was left unchanged";
    case zr::E_OUTOFMEMORY: return "out of memory";
    case zr::E_UNEXPECTED: return "unexpected failure";
    default: return nullptr;
    }
}

void narrowPrint(const std::wstring& text)
{
    for (wchar_t c : text)
        std::fputc(c < 128 ? static_cast<char>(c) : '?', stderr);
}

} // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0 && !unregister)
            unregister = true;
        else if (argv[i][0] != '-' && !file)
            file = argv[i];
        else
            return usage();
    }
    if (!file)
        return usage();

    const char* entryPoint = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    zr::ComponentModule module;
    std::string reason;
    zr::HRESULT hr = zr::ComponentModule::open(file, module, &reason);
    if (zr::succeeded(hr))
        hr = unregister ? module.unregisterServer() : module.registerServer();
    if (zr::succeeded(hr))
        return 0;

    std::fprintf(stderr, "zrregsvr: %s in %s failed: %s", entryPoint, file, hex(hr).c_str());
    if (const char* text = meaning(hr))
        std::fprintf(stderr, " (%s)", text);
    std::fputc('\n', stderr);
    if (!reason.empty())
        std::fprintf(stderr, "zrregsvr: %s\n", reason.c_str());
    // The registry's own account of why it could not be used.
    zr::RegistryTree current;
    std::wstring registryError;
    if (zr::failed(zr::readRegistry(current, &registryError)) && !registryError.empty()) {
        std::fputs("zrregsvr: ", stderr);
        narrowPrint(registryError);
        std::fputc('\n', stderr);
    }
    return 1;
}
