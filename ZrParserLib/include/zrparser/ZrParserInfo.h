// The info-file reader's interface: the component that reads a library's XML description, with
// which a parser finds the plug-ins of a directory tree. The component layer provides it.
#pragma once

#include "zrparser/ZrCom.h"
#include "zrparser/ZrExport.h"

// {5E2B7C41-8D3A-4F96-B1C7-2A9E6D4F0B18}
inline constexpr zr::CLSID CLSID_ZrParserInfo{0x5E2B7C41, 0x8D3A, 0x4F96, {0xB1, 0xC7, 0x2A, 0x9E, 0x6D, 0x4F, 0x0B, 0x18}};
// {C4A19E72-3F5B-4D08-9E6A-7B2D1C8F5A36}
inline constexpr zr::IID IID_IZrParserInfo{0xC4A19E72, 0x3F5B, 0x4D08, {0x9E, 0x6A, 0x7B, 0x2D, 0x1C, 0x8F, 0x5A, 0x36}};
inline constexpr const wchar_t* PROGID_ZrParserInfo = L"ZrParser.ParserInfo";

// The six texts of an info file, in this order. The receiver frees each with sysFreeString;
// an element the file lacks gives an empty text.
struct ZrLibInfo {
    zr::BSTR name = nullptr;
    zr::BSTR version = nullptr;
    zr::BSTR description = nullptr;
    // "plugin" for a plug-in module.
    zr::BSTR type = nullptr;
    // The module's file name.
    zr::BSTR module = nullptr;
    // The class id (or ProgID) that loadPlugin creates.
    zr::BSTR classId = nullptr;
};

class ZR_API IZrParserInfo : public zr::IUnknown {
public:
    // Reads the info file at `path`. Fails when the file cannot be read or is not well-formed XML.
    virtual zr::HRESULT loadFile(const wchar_t* path) = 0;
    // The record of the file loaded last; E_UNEXPECTED before a successful loadFile.
    virtual zr::HRESULT getLibInfo(ZrLibInfo* record) = 0;

protected:
    ~IZrParserInfo() = default;
};
