// The signal plug-in object: builds the catalogue of prototypes and hands out fresh instances.
#include "zrsignal/CSignalPlugin.h"

#include <new>

#include "zrparser/ZrParserItemI.h"

namespace {

using Factory = ZrFunctionI* (*)();

template <class T>
ZrFunctionI* make()
{
    return new T();
}

// The catalogue in its published order: index i here is createFunc(i).
constexpr Factory catalogue[] = {
    nullptr, // placeholder, replaced as families land
};

} // namespace

using namespace zr;

CSignalPlugin::CSignalPlugin()
{
    prototypes_.reserve(std::size(catalogue));
    try {
        for (Factory factory : catalogue)
            if (factory)
                prototypes_.push_back(factory());
    } catch (...) {
        for (ZrFunctionI* p : prototypes_)
            delete p;
        throw;
    }
}

CSignalPlugin::~CSignalPlugin()
{
    for (ZrFunctionI* p : prototypes_)
        delete p;
}

HRESULT CSignalPlugin::create(const IID& iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    CSignalPlugin* plugin = nullptr;
    try {
        plugin = new CSignalPlugin();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    plugin->AddRef();
    HRESULT hr = plugin->QueryInterface(iid, object);
    plugin->Release();
    return hr;
}

HRESULT CSignalPlugin::QueryInterface(const IID& iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_ISignalPlugin)
        *object = static_cast<ISignalPlugin*>(this);
    else if (iid == IID_IDispatch || iid == IID_IZrParserPlugin)
        *object = static_cast<IZrParserPlugin*>(this);
    else if (iid == IID_ISupportErrorInfo)
        *object = static_cast<ISupportErrorInfo*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

std::uint32_t CSignalPlugin::AddRef()
{
    return refs_.increment();
}

std::uint32_t CSignalPlugin::Release()
{
    std::uint32_t left = refs_.decrement();
    if (left == 0)
        delete this;
    return left;
}

HRESULT CSignalPlugin::GetTypeInfoCount(unsigned* count)
{
    if (count)
        *count = 0;
    return E_NOTIMPL;
}

HRESULT CSignalPlugin::GetTypeInfo(unsigned, std::uint32_t, void** typeInfo)
{
    if (typeInfo)
        *typeInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT CSignalPlugin::GetIDsOfNames(const IID&, wchar_t**, unsigned, std::uint32_t, std::int32_t*)
{
    return E_NOTIMPL;
}

HRESULT CSignalPlugin::Invoke(std::int32_t, const IID&, std::uint32_t, std::uint16_t, void*, void*, void*, unsigned*)
{
    return E_NOTIMPL;
}

HRESULT CSignalPlugin::InterfaceSupportsErrorInfo(const IID& iid)
{
    return iid == IID_ISignalPlugin ? S_OK : S_FALSE;
}

HRESULT CSignalPlugin::getNbFuncs(int* count)
{
    *count = static_cast<int>(prototypes_.size());
    return S_OK;
}

HRESULT CSignalPlugin::createFunc(int index, ZrFunctionI** func)
{
    if (index < 0 || static_cast<std::size_t>(index) >= prototypes_.size()) {
        *func = nullptr;
        return E_INVALIDARG;
    }
    try {
        *func = prototypes_[static_cast<std::size_t>(index)]->spawn();
    } catch (const std::bad_alloc&) {
        *func = nullptr;
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CSignalPlugin::getNbOps(int* count)
{
    *count = 0;
    return S_OK;
}

HRESULT CSignalPlugin::createOp(int, ZrOperatorI** op)
{
    *op = nullptr;
    return S_OK;
}

HRESULT CSignalPlugin::getParserVersion(BSTR* version)
{
    *version = sysAllocString(ZR_PARSER_VERSION);
    return S_OK;
}

HRESULT CSignalPlugin::getInfoFile(BSTR* fileName, BSTR* second, int* flag)
{
    *fileName = sysAllocString(L"ZrCalcPlugin.xml");
    *second = sysAllocString(L"1");
    *flag = 1;
    return S_OK;
}
