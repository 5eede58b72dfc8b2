// The registry: a file that stands for the classes root, where component modules record their
// class ids, ProgIDs and module paths so that hosts can create their objects by name.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "zrparser/ZrCom.h"
#include "zrparser/ZrExport.h"

namespace zr {

// The registry file cannot be read.
inline constexpr HRESULT REGDB_E_READREGDB = static_cast<HRESULT>(0x80040150u);
// The registry file cannot be written.
inline constexpr HRESULT REGDB_E_WRITEREGDB = static_cast<HRESULT>(0x80040151u);
// The registry file is not in the registry format; it is left as it is.
inline constexpr HRESULT E_REGISTRY_CORRUPT = static_cast<HRESULT>(0x800703F1u);

// One key: an optional default value, named values and subkeys. Names compare exactly.
struct ZR_API RegistryKey {
    std::optional<std::wstring> defaultValue;
    std::map<std::wstring, std::wstring> values;
    std::map<std::wstring, RegistryKey> subkeys;
};

// A tree of keys below the root. Paths name keys from the root, separated by backslashes:
// L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}\\InprocServer32".
class ZR_API RegistryTree {
public:
    // The key at `path`, or null.
    const RegistryKey* find(std::wstring_view path) const;
    // The key at `path`, created with its missing parents.
    RegistryKey& create(std::wstring_view path);
    // Removes the key at `path` and everything below it. False when there was no such key.
    bool remove(std::wstring_view path);
    // The default value (empty name) or a named value of the key at `path`.
    std::optional<std::wstring> value(std::wstring_view path, std::wstring_view name = {}) const;
    // Sets the default value (empty name) or a named value, creating the key.
    void setValue(std::wstring_view path, std::wstring_view name, std::wstring_view value);
    // Adds every key and value of `other`; values of `other` win.
    void merge(const RegistryTree& other);
    bool empty() const { return root_.subkeys.empty(); }
    const RegistryKey& root() const { return root_; }

    // The text form of the registry file (UTF-8).
    std::string toText() const;
    // Reads the text form. Returns false and describes the first bad line in `error` when the
    // text is not in the registry format.
    static bool fromText(std::string_view text, RegistryTree& tree, std::wstring* error = nullptr);

private:
    RegistryKey root_;
};

// Where the registry file lives: $ZR_REGISTRY, else $XDG_CONFIG_HOME/zrparser/registry, else
// $HOME/.config/zrparser/registry. Read at every call, so a test can point it elsewhere.
ZR_API std::filesystem::path registryPath();

// Reads the registry file; a missing file is an empty registry. Failures: REGDB_E_READREGDB,
// E_REGISTRY_CORRUPT, with the reason in `error`.
ZR_API HRESULT readRegistry(RegistryTree& tree, std::wstring* error = nullptr);

// Applies `edit` to the registry as one transaction: under an exclusive lock on the registry,
// the file is read, edited and replaced atomically, so concurrent updates lose nothing and a
// reader never sees half a file. A corrupt file is reported (E_REGISTRY_CORRUPT) and never
// replaced; write failures give REGDB_E_WRITEREGDB. During registerModuleForProcess the edit
// goes to the process's own layer instead of the file.
ZR_API HRESULT updateRegistry(const std::function<void(RegistryTree&)>& edit, std::wstring* error = nullptr);

} // namespace zr
