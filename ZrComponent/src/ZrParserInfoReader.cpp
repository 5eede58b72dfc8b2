// The info-file reader component: reads a library's XML description with libxml2 and hands out
// its six texts.
#include "ZrParserInfoReader.h"

#include <array>
#include <mutex>
#include <new>
#include <string>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "ZrSystem.h"
#include "zrparser/ZrUtf8.h"

namespace {

using namespace zr;

// Info files are a few hundred bytes; anything far larger is not one.
constexpr std::size_t MAX_INFO_FILE_SIZE = 1 << 20;

// The element names of the record's texts, in record order, below the root element "library".
constexpr std::array<const char*, 6> FIELD_ELEMENTS = {"name", "version", "description", "type", "module", "classId"};

void initialiseXmlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

std::wstring trimmedText(const std::wstring& text)
{
    const std::size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

// The record of a well-formed document: the texts of the known children of a "library" root;
// a document with another root describes no library and gives an empty record.
std::array<std::wstring, 6> readRecord(xmlDoc* document)
{
    std::array<std::wstring, 6> record;
    const xmlNode* root = xmlDocGetRootElement(document);
    if (!root || xmlStrcmp(root->name, BAD_CAST "library") != 0)
        return record;
    for (const xmlNode* child = root->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        for (std::size_t field = 0; field < FIELD_ELEMENTS.size(); ++field) {
            if (xmlStrcmp(child->name, BAD_CAST FIELD_ELEMENTS[field]) != 0)
                continue;
            xmlChar* content = xmlNodeGetContent(child);
            record[field] = trimmedText(fromUtf8(content ? reinterpret_cast<const char*>(content) : ""));
            xmlFree(content);
        }
    }
    return record;
}

class CZrParserInfo final : public CountedObject<IZrParserInfo> {
public:
    static HRESULT createInstance(IUnknown* outer, const IID& iid, void** object)
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        CZrParserInfo* reader = new (std::nothrow) CZrParserInfo();
        if (!reader)
            return E_OUTOFMEMORY;
        reader->AddRef();
        const HRESULT hr = reader->QueryInterface(iid, object);
        reader->Release();
        return hr;
    }

    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        return queryInterfaceFrom({{IID_IUnknown, this}, {IID_IZrParserInfo, this}}, iid, object);
    }

    // Reads the whole file first, so that libxml2 never resolves the path as a URI or reaches
    // the network.
    HRESULT loadFile(const wchar_t* path) override
    {
        loaded_ = false;
        if (!path)
            return E_POINTER;
        std::string text;
        bool missing = false;
        if (!sys::readFile(sys::pathFromWide(path), text, missing, nullptr))
            return missing ? STG_E_FILENOTFOUND : STG_E_READFAULT;
        if (text.size() > MAX_INFO_FILE_SIZE)
            return E_INVALIDARG;
        initialiseXmlOnce();
        xmlDoc* document = xmlReadMemory(text.data(), static_cast<int>(text.size()), "info.xml", nullptr,
                                         XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        if (!document)
            return E_INVALIDARG;
        record_ = readRecord(document);
        xmlFreeDoc(document);
        loaded_ = true;
        return S_OK;
    }

    HRESULT getLibInfo(ZrLibInfo* record) override
    {
        if (!record)
            return E_POINTER;
        if (!loaded_)
            return E_UNEXPECTED;
        BSTR* fields[] = {&record->name, &record->version, &record->description,
                          &record->type, &record->module, &record->classId};
        for (std::size_t i = 0; i < record_.size(); ++i)
            *fields[i] = sysAllocString(record_[i].c_str());
        return S_OK;
    }

private:
    // Status codes of file access, as the storage layer of the component runtime names them.
    static constexpr HRESULT STG_E_FILENOTFOUND = static_cast<HRESULT>(0x80030002u);
    static constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001Eu);

    CZrParserInfo() = default;
    ~CZrParserInfo() override = default;

    std::array<std::wstring, 6> record_;
    bool loaded_ = false;
};

} // namespace

namespace zr {

HRESULT createParserInfoReader(IUnknown* outer, const IID& iid, void** object)
{
    return CZrParserInfo::createInstance(outer, iid, object);
}

} // namespace zr
