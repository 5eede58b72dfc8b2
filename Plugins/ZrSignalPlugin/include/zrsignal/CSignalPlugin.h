// The signal plug-in object: hands a parser its catalogue of signal functions.
#pragma once

#include <memory>
#include <vector>

#include "zrparser/ZrCom.h"
#include "zrparser/ZrParser.h"
#include "zrparser/ZrParserItemI.h"
#include "zrparser/ZrParserPluginI.h"

// {3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}
inline constexpr zr::CLSID CLSID_SignalPlugin{0x3B7E2A14, 0x5C9D, 0x4F60, {0x8E, 0x21, 0x7A, 0x4D, 0x6B, 0x0C, 0x9F, 0x31}};
// {A5F04C2E-91B3-4D7A-B6E8-3C1F2D9E7B42}
inline constexpr zr::IID IID_ISignalPlugin{0xA5F04C2E, 0x91B3, 0x4D7A, {0xB6, 0xE8, 0x3C, 0x1F, 0x2D, 0x9E, 0x7B, 0x42}};
// {D2C8B6A0-4E7F-4B1D-9C35-8F6A1E0D5C73}
inline constexpr zr::GUID LIBID_ZrSignalPluginLib{0xD2C8B6A0, 0x4E7F, 0x4B1D, {0x9C, 0x35, 0x8F, 0x6A, 0x1E, 0x0D, 0x5C, 0x73}};
// {7E4D1B93-2A6C-4E85-A0F7-5B3C9D8E2F14}
inline constexpr zr::GUID APPID_ZrSignalPlugin{0x7E4D1B93, 0x2A6C, 0x4E85, {0xA0, 0xF7, 0x5B, 0x3C, 0x9D, 0x8E, 0x2F, 0x14}};

// ProgIDs under which the class table knows the plug-in.
inline constexpr const wchar_t* PROGID_SignalPlugin = L"ZrSignalPlugin.SignalPlugin";
inline constexpr const wchar_t* PROGID_SignalPlugin1 = L"ZrSignalPlugin.SignalPlugin.1";

// Registers the plug-in in the process's class table, so that parsers load it by class id or
// ProgID. A host that links the plug-in library calls this once before loading it; calling it
// again is harmless. The loadable module never does: its class is found through the registry.
bool registerSignalPlugin();

// A default parser offers three functions that the catalogue brings again ("__sin", "__cos" and
// "rand"), and one parser cannot hold both: a host lets go of the defaults before loading the
// plug-in.
inline void makeRoomForSignalPlugin(ZrParser& parser)
{
    for (const wchar_t* symbol : {L"__sin", L"__cos", L"rand"})
        parser.undefineFuncsBySymbol(symbol);
}

// The module's lock count: live plug-in objects plus explicit server locks. The loadable
// module may be unloaded only while it is zero. Changes are atomic.
class CZrSignalPluginModule {
public:
    static void lock();
    static void unlock();
    static long lockCount();
};

// The plug-in's own late-bound interface; it has no operations of its own.
class ISignalPlugin : public zr::IDispatch {
protected:
    ~ISignalPlugin() = default;
};

class CSignalPlugin final : public ISignalPlugin, public IZrParserPlugin, public zr::ISupportErrorInfo {
public:
    // Creates a stand-alone object and returns the requested interface (one reference).
    static zr::HRESULT create(const zr::IID& iid, void** object);
    // Creates a stand-alone object (outer null) or an inner object aggregated by `outer`, which
    // must then ask for IID_IUnknown and receives the inner object's own unknown.
    static zr::HRESULT createInstance(zr::IUnknown* outer, const zr::IID& iid, void** object);

    // IUnknown of every interface below: passed on to the controlling unknown, which is the
    // outer object when aggregated and the object's own unknown otherwise.
    zr::HRESULT QueryInterface(const zr::IID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

    // IDispatch: not served; callers use the interface slots.
    zr::HRESULT GetTypeInfoCount(unsigned* count) override;
    zr::HRESULT GetTypeInfo(unsigned index, std::uint32_t locale, void** typeInfo) override;
    zr::HRESULT GetIDsOfNames(const zr::IID& iid, wchar_t** names, unsigned nbNames, std::uint32_t locale,
                              std::int32_t* ids) override;
    zr::HRESULT Invoke(std::int32_t id, const zr::IID& iid, std::uint32_t locale, std::uint16_t flags, void* params,
                       void* result, void* exceptionInfo, unsigned* argError) override;

    // ISupportErrorInfo
    zr::HRESULT InterfaceSupportsErrorInfo(const zr::IID& iid) override;

    // IZrParserPlugin
    zr::HRESULT getNbFuncs(int* count) override;
    zr::HRESULT createFunc(int index, ZrFunctionI** func) override;
    zr::HRESULT getNbOps(int* count) override;
    zr::HRESULT createOp(int index, ZrOperatorI** op) override;
    zr::HRESULT getParserVersion(zr::BSTR* version) override;
    zr::HRESULT getInfoFile(zr::BSTR* fileName, zr::BSTR* second, int* flag) override;

private:
    // The object's own IUnknown: it counts the references and answers interface queries. An
    // aggregating outer object holds it, while every other interface of the object delegates to
    // the outer object.
    class OwnUnknown final : public zr::IUnknown {
    public:
        explicit OwnUnknown(CSignalPlugin& object) : object_(object) {}
        zr::HRESULT QueryInterface(const zr::IID& iid, void** object) override;
        std::uint32_t AddRef() override;
        std::uint32_t Release() override;

    private:
        CSignalPlugin& object_;
    };

    explicit CSignalPlugin(zr::IUnknown* outer);
    ~CSignalPlugin();

    std::vector<std::unique_ptr<ZrFunctionI>> prototypes_;
    zr::RefCount refs_;
    OwnUnknown ownUnknown_{*this};
    zr::IUnknown* controllingUnknown_;
};
