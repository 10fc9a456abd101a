#pragma once
// Event arguments arrive as VARIANTs whose type the handler must look at.

#include <windows.h>
#include <oaidl.h>
#include <string>

// The string a VT_BSTR variant holds, up to its first NUL; empty for a null
// variant, a null string or any other type.
std::wstring VariantString(const VARIANT* value);
