#include "framework/occ_dispatch_arguments.h"

#include <oleauto.h>
#include <cstring>

namespace fw {

DispatchArguments::~DispatchArguments() {
    for (std::size_t i = 0; i < args_.size(); ++i) {
        if (boolTargets_[i]) *boolTargets_[i] = *args_[i].pboolVal != VARIANT_FALSE;
        if (args_[i].vt == VT_BSTR) ::SysFreeString(args_[i].bstrVal);
    }
}

bool DispatchArguments::Build(const BYTE* paramInfo, va_list args) {
    const std::size_t count = paramInfo ? std::strlen(reinterpret_cast<const char*>(paramInfo)) : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const BYTE type = paramInfo[i];
        if (type != VTS_BSTR && type != VTS_DISPATCH && type != VTS_PBOOL && type != VTS_PVARIANT)
            return false;
    }
    // Sized once: the by-reference BOOLs point into bools_.
    args_.assign(count, VARIANT{});
    bools_.assign(count, VARIANT_FALSE);
    boolTargets_.assign(count, nullptr);
    for (std::size_t i = 0; i < count; ++i) {
        VARIANT& arg = args_[count - 1 - i];
        switch (paramInfo[i]) {
        case VTS_BSTR:
            arg.vt = VT_BSTR;
            arg.bstrVal = ::SysAllocString(va_arg(args, const wchar_t*));
            break;
        case VTS_DISPATCH:
            arg.vt = VT_DISPATCH;
            arg.pdispVal = va_arg(args, IDispatch*);
            break;
        case VTS_PBOOL: {
            BOOL* target = va_arg(args, BOOL*);
            VARIANT_BOOL& value = bools_[count - 1 - i];
            value = target && *target ? VARIANT_TRUE : VARIANT_FALSE;
            boolTargets_[count - 1 - i] = target;
            arg.vt = VT_BYREF | VT_BOOL;
            arg.pboolVal = &value;
            break;
        }
        case VTS_PVARIANT:
            arg.vt = VT_BYREF | VT_VARIANT;
            arg.pvarVal = va_arg(args, VARIANT*);
            break;
        }
    }
    params_.rgvarg = args_.empty() ? nullptr : args_.data();
    params_.cArgs = static_cast<UINT>(count);
    return true;
}

}  // namespace fw
