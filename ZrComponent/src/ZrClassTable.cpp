// The process-wide class table: class ids and ProgIDs mapped to creation functions, with the
// registry behind it for classes that live in loadable modules.
#include "zrcomponent/ZrClassTable.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ZrModuleLoader.h"
#include "ZrParserInfoReader.h"
#include "zrparser/ZrComponentFactory.h"

namespace zr {

namespace {

struct ClassRecord {
    CLSID clsid;
    std::vector<std::wstring> progIds;
    CreateInstanceFn create;
};

struct ClassTable {
    std::mutex lock;
    std::vector<ClassRecord> classes;

    ClassRecord* find(const CLSID& clsid)
    {
        for (ClassRecord& r : classes)
            if (r.clsid == clsid)
                return &r;
        return nullptr;
    }
};

// Built on first use, by whichever caller comes first.
ClassTable& table()
{
    static ClassTable instance;
    return instance;
}

void addClass(const CLSID& clsid, std::initializer_list<const wchar_t*> progIds, CreateInstanceFn create)
{
    ClassTable& t = table();
    std::lock_guard guard(t.lock);
    ClassRecord record{clsid, {}, create};
    for (const wchar_t* id : progIds)
        record.progIds.emplace_back(id);
    if (ClassRecord* existing = t.find(clsid))
        *existing = std::move(record);
    else
        t.classes.push_back(std::move(record));
}

HRESULT createStandAlone(const CLSID& clsid, const IID& iid, void** object)
{
    return createInstance(clsid, nullptr, iid, object);
}

constexpr ComponentFactory classTableFactory{&clsidFromString, &createStandAlone};

} // namespace

void useComponentRuntime()
{
    installComponentFactory(&classTableFactory);
    static std::once_flag readerRegistered;
    std::call_once(readerRegistered, [] { registerParserInfo(); });
}

bool registerClass(const CLSID& clsid, std::initializer_list<const wchar_t*> progIds, CreateInstanceFn create)
{
    useComponentRuntime();
    addClass(clsid, progIds, create);
    return true;
}

bool registerParserInfo()
{
    addClass(CLSID_ZrParserInfo, {PROGID_ZrParserInfo}, &createParserInfoReader);
    return true;
}

void unregisterClass(const CLSID& clsid)
{
    ClassTable& t = table();
    std::lock_guard guard(t.lock);
    std::erase_if(t.classes, [&](const ClassRecord& r) { return r.clsid == clsid; });
}

HRESULT clsidFromString(const wchar_t* text, CLSID& clsid)
{
    if (!text)
        return E_INVALIDARG;
    if (auto parsed = guidFromString(text)) {
        clsid = *parsed;
        return S_OK;
    }
    {
        ClassTable& t = table();
        std::lock_guard guard(t.lock);
        for (const ClassRecord& r : t.classes)
            for (const std::wstring& progId : r.progIds)
                if (progId == text) {
                    clsid = r.clsid;
                    return S_OK;
                }
    }
    if (auto registered = clsidFromRegistry(text)) {
        clsid = *registered;
        return S_OK;
    }
    return CO_E_CLASSSTRING;
}

HRESULT createInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    CreateInstanceFn create = nullptr;
    {
        ClassTable& t = table();
        std::lock_guard guard(t.lock);
        if (ClassRecord* r = t.find(clsid))
            create = r->create;
    }
    if (!create)
        return createFromRegistry(clsid, outer, iid, object);
    return create(outer, iid, object);
}

} // namespace zr
