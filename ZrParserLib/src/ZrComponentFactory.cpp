// The process's component factory: the one way from the expression library into the component layer.
#include "zrparser/ZrComponentFactory.h"

#include <atomic>

namespace zr {

namespace {

std::atomic<const ComponentFactory*> installedFactory{nullptr};

} // namespace

void installComponentFactory(const ComponentFactory* factory)
{
    installedFactory.store(factory, std::memory_order_release);
}

HRESULT classIdFromText(const wchar_t* text, CLSID& clsid)
{
    const ComponentFactory* factory = installedFactory.load(std::memory_order_acquire);
    return factory ? factory->classIdFromText(text, clsid) : CO_E_CLASSSTRING;
}

HRESULT createComponent(const CLSID& clsid, const IID& iid, void** object)
{
    if (object)
        *object = nullptr;
    const ComponentFactory* factory = installedFactory.load(std::memory_order_acquire);
    return factory ? factory->createInstance(clsid, iid, object) : REGDB_E_CLASSNOTREG;
}

} // namespace zr
