#pragma once
// The arguments of CWnd::InvokeHelper: a parameter description (one byte per
// argument, 0-terminated) and the C++ arguments, turned into DISPPARAMS.

#include <windows.h>
#include <oaidl.h>
#include <cstdarg>
#include <cstddef>
#include <vector>

namespace fw {

constexpr BYTE VTS_BSTR = 0x08;      // const wchar_t*, passed as a BSTR made for the call
constexpr BYTE VTS_DISPATCH = 0x09;  // IDispatch*
constexpr BYTE VTS_PBOOL = 0x4B;     // BOOL*, passed by reference and written back
constexpr BYTE VTS_PVARIANT = 0x4C;  // VARIANT*, passed by reference

class DispatchArguments {
public:
    DispatchArguments() = default;
    DispatchArguments(const DispatchArguments&) = delete;
    DispatchArguments& operator=(const DispatchArguments&) = delete;
    // Frees the strings made for the call and writes by-reference BOOLs back.
    ~DispatchArguments();

    // Takes one argument from `args` per byte of `paramInfo` (may be null: no
    // arguments). False, with nothing taken over, for a type not listed above.
    bool Build(const BYTE* paramInfo, va_list args);
    // Arguments last to first, as IDispatch::Invoke expects them.
    DISPPARAMS* Params() { return &params_; }

private:
    std::vector<VARIANT> args_;
    std::vector<VARIANT_BOOL> bools_;
    std::vector<BOOL*> boolTargets_;
    DISPPARAMS params_{};
};

}  // namespace fw
