// Component modules: the class factory, the entry points a loadable module exports, its
// descriptive data, and how a host opens a module file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "zrparser/ZrCom.h"
#include "zrparser/ZrExport.h"

namespace zr {

// The module file cannot be loaded.
inline constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8u);
// The module lacks an entry point it must export.
inline constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);

// Creates the objects of one class.
class ZR_API IClassFactory : public IUnknown {
public:
    // A new object; `outer` non-null makes it an aggregated inner object, and `iid` must then
    // be IID_IUnknown (CLASS_E_NOAGGREGATION otherwise).
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    // Raises (lock true) or lowers the module's lock count.
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

} // namespace zr

// Descriptive data of a module that a host reads without creating an object: its version
// block, project name and type-library description.
extern "C" struct ZrModuleInfo {
    const wchar_t* fileVersion;
    const wchar_t* productVersion;
    const wchar_t* internalName;
    const wchar_t* originalFilename;
    const wchar_t* projectName;
    const wchar_t* typeLibName;
    const wchar_t* typeLibVersion;
    const wchar_t* typeLibHelpString;
    const wchar_t* interfaceHelpString;
    const wchar_t* classHelpString;
};

// The entry points of a module, exported with C linkage under these names.
extern "C" {
using DllGetClassObjectFn = zr::HRESULT (*)(const zr::CLSID& clsid, const zr::IID& iid, void** object);
using DllCanUnloadNowFn = zr::HRESULT (*)();
using DllRegisterServerFn = zr::HRESULT (*)();
using DllUnregisterServerFn = zr::HRESULT (*)();
using ZrGetModuleInfoFn = const ZrModuleInfo* (*)();
}

// Declares an entry point that a module exports.
#define ZR_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace zr {

// A module file opened by a host. Modules are never unloaded: objects and function items a
// module made may outlive every reference the host can count, so every module opened stays
// loaded for the life of the process.
class ZR_API ComponentModule {
public:
    // Opens the module file (made absolute first). CO_E_DLLNOTFOUND when it cannot be loaded,
    // with the system loader's reason in `error`.
    static HRESULT open(const std::filesystem::path& file, ComponentModule& module, std::string* error = nullptr);

    // Each entry point gives CO_E_ERRORINDLL when the module does not export it.
    HRESULT getClassObject(const CLSID& clsid, const IID& iid, void** object) const;
    HRESULT canUnloadNow() const;
    HRESULT registerServer() const;
    HRESULT unregisterServer() const;
    // The module's descriptive data, or null when it offers none.
    const ZrModuleInfo* info() const;

    const std::filesystem::path& file() const { return file_; }

private:
    void* entryPoint(const char* name) const;

    void* handle_ = nullptr;
    std::filesystem::path file_;
};

// Makes the classes of a module file creatable in this process without changing the registry
// file: the module's DllRegisterServer runs against the process's own registry layer, which
// class lookups consult before the file. `classIds` receives the class ids it registered, in
// braced text form, ready for loadPlugin.
ZR_API HRESULT registerModuleForProcess(const std::filesystem::path& file, std::vector<std::wstring>& classIds,
                                        std::string* error = nullptr);

// The absolute path of the loaded module that holds `address` (the address of one of its
// functions), as registry text; empty when it cannot be found. Modules use it for their
// InprocServer32 value.
ZR_API std::wstring modulePathOf(const void* address);

// The absolute path of the running program's file; empty when it cannot be found. Programs
// find the modules installed with them relative to it.
ZR_API std::filesystem::path executablePath();

} // namespace zr
