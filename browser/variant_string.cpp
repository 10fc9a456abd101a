#include "browser/variant_string.h"

std::wstring VariantString(const VARIANT* value) {
    if (!value || value->vt != VT_BSTR || !value->bstrVal) return {};
    return std::wstring(value->bstrVal);
}
