// Portable component model: GUID text conversion, system strings and interface queries.
#include "zrparser/ZrCom.h"

#include <cstring>
#include <cwchar>

namespace zr {

namespace {

int hexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Reads `digits` hex digits at text[pos]; false if any is not a hex digit.
bool readHex(const wchar_t* text, std::size_t pos, int digits, std::uint64_t& out)
{
    out = 0;
    for (int i = 0; i < digits; ++i) {
        int v = hexValue(text[pos + i]);
        if (v < 0)
            return false;
        out = out * 16 + static_cast<std::uint64_t>(v);
    }
    return true;
}

} // namespace

std::optional<GUID> guidFromString(const wchar_t* text)
{
    // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
    if (!text || std::wcslen(text) != 38 || text[0] != L'{' || text[37] != L'}' || text[9] != L'-' ||
        text[14] != L'-' || text[19] != L'-' || text[24] != L'-')
        return std::nullopt;
    GUID g;
    std::uint64_t v = 0;
    if (!readHex(text, 1, 8, v))
        return std::nullopt;
    g.data1 = static_cast<std::uint32_t>(v);
    if (!readHex(text, 10, 4, v))
        return std::nullopt;
    g.data2 = static_cast<std::uint16_t>(v);
    if (!readHex(text, 15, 4, v))
        return std::nullopt;
    g.data3 = static_cast<std::uint16_t>(v);
    const std::size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!readHex(text, bytePos[i], 2, v))
            return std::nullopt;
        g.data4[i] = static_cast<std::uint8_t>(v);
    }
    return g;
}

std::wstring guidToString(const GUID& g)
{
    wchar_t buf[39];
    std::swprintf(buf, 39, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3,
                  g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return buf;
}

BSTR sysAllocString(const wchar_t* text)
{
    if (!text)
        return nullptr;
    std::size_t n = std::wcslen(text);
    auto* copy = new wchar_t[n + 1];
    std::wmemcpy(copy, text, n + 1);
    return copy;
}

void sysFreeString(BSTR text)
{
    delete[] text;
}

HRESULT queryInterfaceFrom(std::initializer_list<InterfaceEntry> offered, const IID& iid, void** object)
{
    if (!object)
        return E_POINTER;
    for (const InterfaceEntry& entry : offered)
        if (entry.iid == iid) {
            entry.object->AddRef();
            *object = entry.object;
            return S_OK;
        }
    *object = nullptr;
    return E_NOINTERFACE;
}

} // namespace zr
