#pragma once
// Owners for the two OLE Automation value types the control hands around.

#include <windows.h>
#include <oleauto.h>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace standin {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text)
        : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) {
            ::SysFreeString(b_);
            b_ = std::exchange(o.b_, nullptr);
        }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(b_); }

    BSTR get() const noexcept { return b_; }
    BSTR detach() noexcept { return std::exchange(b_, nullptr); }

private:
    BSTR b_ = nullptr;
};

// A VARIANT that is cleared when it goes out of scope.
class Variant {
public:
    Variant() noexcept { ::VariantInit(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&v_); }

    static Variant String(std::wstring_view text) {
        Variant v;
        v.v_.vt = VT_BSTR;
        v.v_.bstrVal = Bstr(text).detach();
        return v;
    }
    // A null BSTR for an empty text, as the real control passes absent strings.
    static Variant NullableString(std::wstring_view text) {
        Variant v;
        v.v_.vt = VT_BSTR;
        v.v_.bstrVal = text.empty() ? nullptr : Bstr(text).detach();
        return v;
    }
    // VT_ARRAY|VT_UI1: one dimension, from 0.
    static Variant Bytes(std::string_view bytes) {
        Variant v;
        SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        if (!array) return v;
        void* data = nullptr;
        if (SUCCEEDED(::SafeArrayAccessData(array, &data))) {
            if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
            ::SafeArrayUnaccessData(array);
        }
        v.v_.vt = VT_ARRAY | VT_UI1;
        v.v_.parray = array;
        return v;
    }
    static Variant Int(LONG value) {
        Variant v;
        v.v_.vt = VT_I4;
        v.v_.lVal = value;
        return v;
    }
    Variant(Variant&& o) noexcept : v_(o.v_) { ::VariantInit(&o.v_); }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }

private:
    VARIANT v_;
};

inline std::wstring BstrText(BSTR b) { return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring(); }

}  // namespace standin
