// Portable component model: status codes, class and interface ids, counted interfaces and
// system strings, enough for plug-ins to be created and queried the same way on every platform.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "zrparser/ZrExport.h"

namespace zr {

using HRESULT = std::int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
inline constexpr HRESULT TYPE_E_CANTLOADLIBRARY = static_cast<HRESULT>(0x80029C4Au);

inline constexpr bool succeeded(HRESULT hr) { return hr >= 0; }
inline constexpr bool failed(HRESULT hr) { return hr < 0; }

// A 128-bit class or interface identifier.
struct GUID {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};

    friend bool operator==(const GUID&, const GUID&) = default;
};
using CLSID = GUID;
using IID = GUID;

// Parses the braced text form "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (hex digits of either case).
ZR_API std::optional<GUID> guidFromString(const wchar_t* text);
// Formats a GUID in the braced form with upper-case hex digits.
ZR_API std::wstring guidToString(const GUID& guid);

// System strings: zero-terminated wide strings that the receiver frees with sysFreeString.
using BSTR = wchar_t*;
ZR_API BSTR sysAllocString(const wchar_t* text);
ZR_API void sysFreeString(BSTR text);

// The counted interface every component object answers.
class ZR_API IUnknown {
public:
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

// Late-bound access. Our plug-ins are called through their own slots only, so every
// implementation in this project answers these with E_NOTIMPL; they keep the slot layout.
class ZR_API IDispatch : public IUnknown {
public:
    virtual HRESULT GetTypeInfoCount(unsigned* count) = 0;
    virtual HRESULT GetTypeInfo(unsigned index, std::uint32_t locale, void** typeInfo) = 0;
    virtual HRESULT GetIDsOfNames(const IID& iid, wchar_t** names, unsigned nbNames, std::uint32_t locale,
                                  std::int32_t* ids) = 0;
    virtual HRESULT Invoke(std::int32_t id, const IID& iid, std::uint32_t locale, std::uint16_t flags, void* params,
                           void* result, void* exceptionInfo, unsigned* argError) = 0;

protected:
    ~IDispatch() = default;
};

class ZR_API ISupportErrorInfo : public IUnknown {
public:
    virtual HRESULT InterfaceSupportsErrorInfo(const IID& iid) = 0;

protected:
    ~ISupportErrorInfo() = default;
};

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {00020400-0000-0000-C000-000000000046}
inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {DF0B3D60-548F-101B-8E65-08002B2BD119}
inline constexpr IID IID_ISupportErrorInfo{0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

// An atomic reference count for component objects; the object deletes itself at zero.
class RefCount {
public:
    std::uint32_t increment() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::uint32_t decrement() { return count_.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    std::uint32_t value() const { return count_.load(std::memory_order_acquire); }

private:
    std::atomic<std::uint32_t> count_{0};
};

// One interface an object offers: its id, and the object seen through that interface.
struct InterfaceEntry {
    const IID& iid;
    IUnknown* object;
};

// QueryInterface answered from the list of interfaces an object offers: the entry whose id is
// asked for, with a reference added through it; E_NOINTERFACE (and null) when none matches.
ZR_API HRESULT queryInterfaceFrom(std::initializer_list<InterfaceEntry> offered, const IID& iid, void** object);

// AddRef and Release of a stand-alone object that deletes itself with its last reference.
// `Interface` is the interface it derives from (derived itself from IUnknown).
template <class Interface>
class CountedObject : public Interface {
public:
    std::uint32_t AddRef() override { return refs_.increment(); }
    std::uint32_t Release() override
    {
        const std::uint32_t left = refs_.decrement();
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~CountedObject() = default;

private:
    RefCount refs_;
};

// Holds one counted reference to a component object and releases it when it goes.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller already holds, as creation functions hand them out.
    explicit ComPtr(T* object) : object_(object) {}
    ComPtr(const ComPtr& other) : object_(other.object_)
    {
        if (object_)
            object_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(object_, other.object_);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    void reset()
    {
        if (object_)
            std::exchange(object_, nullptr)->Release();
    }
    // Where a creation or query function writes the new reference; the current one goes first.
    void** put()
    {
        reset();
        return reinterpret_cast<void**>(&object_);
    }

private:
    T* object_ = nullptr;
};

} // namespace zr
