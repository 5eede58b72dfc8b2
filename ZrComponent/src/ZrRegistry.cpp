// The registry: its key tree, its text file format, and transactional updates of the file.
#include "zrcomponent/ZrRegistry.h"

#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "ZrRegistryLayers.h"
#include "ZrSystem.h"
#include "zrparser/ZrUtf8.h"

namespace zr {

namespace {

constexpr std::wstring_view FILE_HEADER = L"ZRREGISTRY 1";

// The key names of a path; nullopt when a name is empty or holds a control character.
std::optional<std::vector<std::wstring>> splitPath(std::wstring_view path)
{
    std::vector<std::wstring> names;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find(L'\\', start);
        const std::wstring_view name = path.substr(start, end == std::wstring_view::npos ? path.npos : end - start);
        if (name.empty())
            return std::nullopt;
        for (wchar_t c : name)
            if (c < 0x20 || c == 0x7F)
                return std::nullopt;
        names.emplace_back(name);
        if (end == std::wstring_view::npos)
            return names;
        start = end + 1;
    }
}

void mergeKey(RegistryKey& into, const RegistryKey& from)
{
    if (from.defaultValue)
        into.defaultValue = from.defaultValue;
    for (const auto& [name, value] : from.values)
        into.values[name] = value;
    for (const auto& [name, subkey] : from.subkeys)
        mergeKey(into.subkeys[name], subkey);
}

// ---- text form ----------------------------------------------------------------------------

std::wstring quoted(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L'"': out += L"\\\""; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        case L'\t': out += L"\\t"; break;
        default: out += c;
        }
    }
    return out + L"\"";
}

void writeKey(std::wstring& out, const std::wstring& path, const RegistryKey& key)
{
    out += L"\n[" + path + L"]\n";
    if (key.defaultValue)
        out += L"@=" + quoted(*key.defaultValue) + L"\n";
    for (const auto& [name, value] : key.values)
        out += quoted(name) + L"=" + quoted(value) + L"\n";
    for (const auto& [name, subkey] : key.subkeys)
        writeKey(out, path + L"\\" + name, subkey);
}

std::wstring_view trimmed(std::wstring_view line)
{
    const std::size_t first = line.find_first_not_of(L" \t\r");
    if (first == std::wstring_view::npos)
        return {};
    const std::size_t last = line.find_last_not_of(L" \t\r");
    return line.substr(first, last - first + 1);
}

// Reads a quoted string at line[pos] and moves pos past it; false when it is malformed.
bool readQuoted(std::wstring_view line, std::size_t& pos, std::wstring& out)
{
    if (pos >= line.size() || line[pos] != L'"')
        return false;
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        wchar_t c = line[pos];
        if (c == L'"') {
            ++pos;
            return true;
        }
        if (c == L'\\') {
            if (++pos >= line.size())
                return false;
            switch (line[pos]) {
            case L'\\': c = L'\\'; break;
            case L'"': c = L'"'; break;
            case L'n': c = L'\n'; break;
            case L'r': c = L'\r'; break;
            case L't': c = L'\t'; break;
            default: return false;
            }
        }
        out += c;
    }
    return false;
}

void skipBlanks(std::wstring_view line, std::size_t& pos)
{
    while (pos < line.size() && (line[pos] == L' ' || line[pos] == L'\t'))
        ++pos;
}

// Reads one value line (@="..." or "name"="...") into name (empty for the default) and value.
bool readValueLine(std::wstring_view line, std::wstring& name, std::wstring& value)
{
    std::size_t pos = 0;
    if (line[0] == L'@') {
        name.clear();
        pos = 1;
    } else if (!readQuoted(line, pos, name) || name.empty()) {
        return false;
    }
    skipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != L'=')
        return false;
    ++pos;
    skipBlanks(line, pos);
    if (!readQuoted(line, pos, value))
        return false;
    skipBlanks(line, pos);
    return pos == line.size();
}

std::wstring lineError(std::size_t lineNumber, const wchar_t* what)
{
    return L"line " + std::to_wstring(lineNumber) + L": " + what;
}

// ---- the process's own layer ----------------------------------------------------------------

struct ProcessLayer {
    std::mutex lock;
    RegistryTree tree;
};

ProcessLayer& processLayer()
{
    static ProcessLayer layer;
    return layer;
}

// Set while registerModuleForProcess runs a module's registration on this thread.
thread_local RegistryTree* updateTarget = nullptr;

// Runs `edit` on `tree`, turning what it throws into a status.
HRESULT applyEdit(const std::function<void(RegistryTree&)>& edit, RegistryTree& tree, std::wstring* error)
{
    try {
        edit(tree);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        if (error)
            *error = fromUtf8(e.what());
        return E_INVALIDARG;
    }
}

// Reads the file for an update. Unlike a lookup, an update must not go on from a file it
// could not understand: that would replace it.
HRESULT readForUpdate(const std::filesystem::path& path, RegistryTree& tree, std::wstring* error)
{
    std::string text;
    bool missing = false;
    std::string reason;
    if (!sys::readFile(path, text, missing, &reason)) {
        if (missing)
            return S_OK;
        if (error)
            *error = fromUtf8(reason);
        return REGDB_E_READREGDB;
    }
    std::wstring parseError;
    if (!RegistryTree::fromText(text, tree, &parseError)) {
        if (error)
            *error = fromUtf8(path.string()) + L": " + parseError;
        return E_REGISTRY_CORRUPT;
    }
    return S_OK;
}

} // namespace

// ---- RegistryTree -----------------------------------------------------------------------------

const RegistryKey* RegistryTree::find(std::wstring_view path) const
{
    const auto names = splitPath(path);
    if (!names)
        return nullptr;
    const RegistryKey* key = &root_;
    for (const std::wstring& name : *names) {
        const auto it = key->subkeys.find(name);
        if (it == key->subkeys.end())
            return nullptr;
        key = &it->second;
    }
    return key;
}

RegistryKey& RegistryTree::create(std::wstring_view path)
{
    const auto names = splitPath(path);
    if (!names)
        throw std::invalid_argument("invalid registry key path");
    RegistryKey* key = &root_;
    for (const std::wstring& name : *names)
        key = &key->subkeys[name];
    return *key;
}

bool RegistryTree::remove(std::wstring_view path)
{
    const auto names = splitPath(path);
    if (!names)
        return false;
    RegistryKey* parent = &root_;
    for (std::size_t i = 0; i + 1 < names->size(); ++i) {
        const auto it = parent->subkeys.find((*names)[i]);
        if (it == parent->subkeys.end())
            return false;
        parent = &it->second;
    }
    return parent->subkeys.erase(names->back()) > 0;
}

std::optional<std::wstring> RegistryTree::value(std::wstring_view path, std::wstring_view name) const
{
    const RegistryKey* key = find(path);
    if (!key)
        return std::nullopt;
    if (name.empty())
        return key->defaultValue;
    const auto it = key->values.find(std::wstring(name));
    if (it == key->values.end())
        return std::nullopt;
    return it->second;
}

void RegistryTree::setValue(std::wstring_view path, std::wstring_view name, std::wstring_view value)
{
    RegistryKey& key = create(path);
    if (name.empty())
        key.defaultValue = std::wstring(value);
    else
        key.values[std::wstring(name)] = std::wstring(value);
}

void RegistryTree::merge(const RegistryTree& other)
{
    mergeKey(root_, other.root_);
}

std::string RegistryTree::toText() const
{
    std::wstring out(FILE_HEADER);
    out += L"\n; Component classes known to ZrParser hosts. [key\\path] starts a key; below it,\n"
           L"; @=\"...\" is the key's default value and \"name\"=\"...\" a named value.\n";
    for (const auto& [name, key] : root_.subkeys)
        writeKey(out, name, key);
    return toUtf8(out);
}

bool RegistryTree::fromText(std::string_view text, RegistryTree& tree, std::wstring* error)
{
    auto fail = [&](std::wstring message) {
        if (error)
            *error = std::move(message);
        return false;
    };
    const std::optional<std::wstring> wide = fromUtf8Strict(text);
    if (!wide)
        return fail(L"the file is not UTF-8 text");

    RegistryTree parsed;
    RegistryKey* current = nullptr;
    bool headerSeen = false;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start <= wide->size();) {
        std::size_t end = wide->find(L'\n', start);
        if (end == std::wstring::npos)
            end = wide->size();
        const std::wstring_view line = trimmed(std::wstring_view(*wide).substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == L';')
            continue;
        if (!headerSeen) {
            if (line != FILE_HEADER)
                return fail(lineError(lineNumber, L"expected the header \"ZRREGISTRY 1\""));
            headerSeen = true;
        } else if (line[0] == L'[') {
            const auto names = line.back() == L']' ? splitPath(line.substr(1, line.size() - 2)) : std::nullopt;
            if (!names)
                return fail(lineError(lineNumber, L"malformed key path"));
            current = &parsed.create(line.substr(1, line.size() - 2));
        } else {
            std::wstring name;
            std::wstring value;
            if (!readValueLine(line, name, value))
                return fail(lineError(lineNumber, L"expected @=\"value\" or \"name\"=\"value\""));
            if (!current)
                return fail(lineError(lineNumber, L"value outside any [key]"));
            if (name.empty())
                current->defaultValue = value;
            else
                current->values[name] = value;
        }
    }
    // A file without a single key or value line, even without the header, is an empty registry.
    tree = std::move(parsed);
    return true;
}

// ---- the file ---------------------------------------------------------------------------------

std::filesystem::path registryPath()
{
    if (auto explicitPath = sys::environment("ZR_REGISTRY"))
        return *explicitPath;
    return sys::userConfigDirectory() / "zrparser" / "registry";
}

HRESULT readRegistry(RegistryTree& tree, std::wstring* error)
{
    RegistryTree read;
    const HRESULT hr = readForUpdate(registryPath(), read, error);
    if (succeeded(hr))
        tree = std::move(read);
    return hr;
}

HRESULT updateRegistry(const std::function<void(RegistryTree&)>& edit, std::wstring* error)
{
    if (updateTarget) {
        RegistryTree edited = *updateTarget;
        const HRESULT hr = applyEdit(edit, edited, error);
        if (succeeded(hr))
            *updateTarget = std::move(edited);
        return hr;
    }

    const std::filesystem::path path = registryPath();
    std::error_code ec;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ec);
    sys::FileLock lock(path.string() + ".lock");
    if (!lock.isLocked()) {
        if (error)
            *error = L"cannot lock " + fromUtf8(path.string()) + L".lock";
        return REGDB_E_WRITEREGDB;
    }
    RegistryTree tree;
    HRESULT hr = readForUpdate(path, tree, error);
    if (failed(hr))
        return hr;
    hr = applyEdit(edit, tree, error);
    if (failed(hr))
        return hr;
    std::string reason;
    if (!sys::replaceFile(path, tree.toText(), &reason)) {
        if (error)
            *error = fromUtf8(reason);
        return REGDB_E_WRITEREGDB;
    }
    return S_OK;
}

// ---- layers -----------------------------------------------------------------------------------

RegistryTree effectiveRegistry()
{
    RegistryTree tree;
    // A lookup in a registry that cannot be read finds nothing; updates report the problem.
    if (failed(readRegistry(tree)))
        tree = RegistryTree();
    ProcessLayer& layer = processLayer();
    std::lock_guard guard(layer.lock);
    tree.merge(layer.tree);
    return tree;
}

HRESULT withUpdatesInto(RegistryTree& layer, const std::function<HRESULT()>& action)
{
    struct Redirect {
        RegistryTree* previous;
        explicit Redirect(RegistryTree* target) : previous(updateTarget) { updateTarget = target; }
        ~Redirect() { updateTarget = previous; }
    } redirect(&layer);
    return action();
}

void addToProcessLayer(const RegistryTree& layer)
{
    ProcessLayer& process = processLayer();
    std::lock_guard guard(process.lock);
    process.tree.merge(layer);
}

} // namespace zr
