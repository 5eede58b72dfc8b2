// The plug-in interface: how a component hands the parser library its operators and functions.
#pragma once

#include "zrparser/ZrCom.h"
#include "zrparser/ZrExport.h"

class ZrFunctionI;
class ZrOperatorI;

// {6C1D6C52-7C3B-4E8F-9A51-2F0E4B9D1A01}
inline constexpr zr::IID IID_IZrParserPlugin{0x6C1D6C52, 0x7C3B, 0x4E8F, {0x9A, 0x51, 0x2F, 0x0E, 0x4B, 0x9D, 0x1A, 0x01}};

// The library version text a plug-in must report to be loaded.
inline constexpr const wchar_t* ZR_PARSER_VERSION = L"16U";

class ZR_API IZrParserPlugin : public zr::IDispatch {
public:
    virtual zr::HRESULT getNbFuncs(int* count) = 0;
    // A new instance of function `index`; the caller owns it.
    virtual zr::HRESULT createFunc(int index, ZrFunctionI** func) = 0;
    virtual zr::HRESULT getNbOps(int* count) = 0;
    // A new instance of operator `index` (or null); the caller owns it.
    virtual zr::HRESULT createOp(int index, ZrOperatorI** op) = 0;
    // The library version the plug-in was built against; the caller frees it with sysFreeString.
    virtual zr::HRESULT getParserVersion(zr::BSTR* version) = 0;
    // The plug-in's info file and two further values; the caller frees both strings.
    virtual zr::HRESULT getInfoFile(zr::BSTR* fileName, zr::BSTR* second, int* flag) = 0;

protected:
    ~IZrParserPlugin() = default;
};
