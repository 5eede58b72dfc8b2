// The library's one exception type: a short chain of entries, each a message id with named
// parameters and the finished English text from the message catalogue.
#pragma once

#include <string>

#include "zrparser/ZrExport.h"

// The id and named parameters of one failure (at most four parameters; more are dropped).
class ZR_API ZrExcepData {
public:
    static constexpr unsigned MAX_PARAMS = 4;

    std::wstring id;
    std::wstring values[MAX_PARAMS];
    std::wstring names[MAX_PARAMS];
    unsigned nbParams = 0;

    ZrExcepData() = default;
    explicit ZrExcepData(const wchar_t* id);
    ZrExcepData(const wchar_t* id, const wchar_t* name1, const std::wstring& value1);
    ZrExcepData(const wchar_t* id, const wchar_t* name1, const std::wstring& value1, const wchar_t* name2,
                const std::wstring& value2);
    ZrExcepData(const wchar_t* id, const wchar_t* name1, const std::wstring& value1, const wchar_t* name2,
                const std::wstring& value2, const wchar_t* name3, const std::wstring& value3);

    // Appends one parameter; does nothing once four are present. A null text reads as empty.
    void addParam(const wchar_t* name, const std::wstring& value);

    unsigned getNbParams() const { return nbParams; }
    const std::wstring& getParamName(unsigned k) const { return names[k]; }
    const std::wstring& getParamValue(unsigned k) const { return values[k]; }
    // The value of the first parameter called `name`, or null when there is none.
    const wchar_t* findParam(const wchar_t* name) const;
};

// The finished description of `data`: the catalogue template of its id with the parameters put
// in, or "Unknown exception: <id>" for an id the catalogue lacks.
ZR_API std::wstring getExcepText(const ZrExcepData& data);

// The template of a catalogued id, or null.
ZR_API const wchar_t* findExcepTemplate(const wchar_t* id);

// Base of the chain: what describes the entry added last, and each entry's description.
class ZR_API ZrException {
public:
    static constexpr unsigned MAX_ENTRIES = 4;

    virtual ~ZrException() = default;

    unsigned getNbExceptions() const { return nbExceps; }
    const std::wstring& getDescription(unsigned i) const { return descriptions[i]; }
    unsigned getLine() const { return line; }
    const std::wstring& getFile() const { return file; }
    const std::wstring& getDescription() const { return description; }

protected:
    unsigned line = 0;
    std::wstring file;
    std::wstring description;
    std::wstring descriptions[MAX_ENTRIES];
    unsigned nbExceps = 0;
};

// A chain of up to four entries. Copying reverses the order of the entries: every rethrow in
// the library throws a copy, so a context entry added on the way out comes first.
template <class Data>
class ZR_API ZrChainedExceptions : public ZrException {
public:
    struct Entry {
        unsigned line = 0;
        unsigned code = 0;
        std::wstring file;
        std::wstring description;
        Data data;
    };

    // An empty chain, for collecting the failures of several steps.
    ZrChainedExceptions() = default;

    ZrChainedExceptions(unsigned line, const wchar_t* file, unsigned code, const Data& data, const wchar_t* description)
    {
        add(line, file, code, data, description);
    }

    ZrChainedExceptions(const ZrChainedExceptions& other) : ZrException()
    {
        for (unsigned i = other.nbExceps; i-- > 0;) {
            const Entry& e = other.entries[i];
            add(e.line, e.file.c_str(), e.code, e.data, e.description.c_str());
        }
        line = other.line;
        file = other.file;
        description = other.description;
    }

    ZrChainedExceptions& operator=(const ZrChainedExceptions&) = delete;

    // Appends an entry; a chain that already holds four entries stays unchanged.
    void add(unsigned entryLine, const wchar_t* entryFile, unsigned code, const Data& data, const wchar_t* text)
    {
        if (nbExceps >= MAX_ENTRIES)
            return;
        Entry& e = entries[nbExceps];
        e.line = entryLine;
        e.code = code;
        e.file = entryFile ? entryFile : L"";
        e.description = text ? text : L"";
        e.data = data;
        line = e.line;
        file = e.file;
        description = e.description;
        descriptions[nbExceps] = e.description;
        ++nbExceps;
    }

    // Appends the entries of `other`, its newest first.
    void appendChain(const ZrChainedExceptions& other)
    {
        for (unsigned i = other.nbExceps; i-- > 0;) {
            const Entry& e = other.entries[i];
            add(e.line, e.file.c_str(), e.code, e.data, e.description.c_str());
        }
    }

    const Entry& getEntry(unsigned i) const { return entries[i]; }

private:
    Entry entries[MAX_ENTRIES];
};

using ZrParserException = ZrChainedExceptions<ZrExcepData>;

// Raises a one-entry chain for `data`, recording the raising site.
[[noreturn]] ZR_API void zrRaise(const ZrExcepData& data, unsigned line, const wchar_t* file);
// Adds a context entry for `data` to a caught chain and throws a copy of it.
[[noreturn]] ZR_API void zrRethrowWith(ZrParserException& caught, const ZrExcepData& data, unsigned line, const wchar_t* file);

#define ZR_WIDEN_IMPL(x) L##x
#define ZR_WIDEN(x) ZR_WIDEN_IMPL(x)
#define ZR_SOURCE_FILE ZR_WIDEN(__FILE_NAME__)
#define ZR_RAISE(data) zrRaise((data), __LINE__, ZR_SOURCE_FILE)
#define ZR_RETHROW_WITH(caught, data) zrRethrowWith((caught), (data), __LINE__, ZR_SOURCE_FILE)
