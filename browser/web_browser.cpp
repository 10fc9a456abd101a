#include "browser/web_browser.h"

#include <olectl.h>

#include "framework/occ_dispatch_arguments.h"

namespace {
constexpr DISPID kDispidNavigate = 104;
}  // namespace

const CLSID CWebBrowser2::kClsid = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

BOOL CWebBrowser2::Create(LPCWSTR, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                          CCreateContext*) {
    return CreateControl(kClsid, windowName, style, rect, parent, id);
}

void CWebBrowser2::Navigate(LPCWSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                            VARIANT* Headers) {
    static const BYTE params[] = {fw::VTS_BSTR, fw::VTS_PVARIANT, fw::VTS_PVARIANT, fw::VTS_PVARIANT,
                                  fw::VTS_PVARIANT, 0};
    InvokeHelper(kDispidNavigate, DISPATCH_METHOD, VT_EMPTY, nullptr, params, URL, Flags, TargetFrameName,
                 PostData, Headers);
}

void CWebBrowser2::Refresh() {
    InvokeHelper(DISPID_REFRESH, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
}
