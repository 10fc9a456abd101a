#include "ui/png.h"

#include <cstring>

#include "framework/com.h"
#include "framework/handles.h"
#include "ui/gdiplus_new.h"

namespace {

// The resource's bytes and size, or null.
const void* FindPng(HMODULE module, LPCWSTR name, DWORD* size) {
    HRSRC resource = ::FindResourceW(module, name, L"PNG");
    if (!resource) return nullptr;
    *size = ::SizeofResource(module, resource);
    if (*size == 0) return nullptr;
    HGLOBAL loaded = ::LoadResource(module, resource);
    return loaded ? ::LockResource(loaded) : nullptr;
}

}  // namespace

void CGdiPlusPngResource::Release() {
    ReleaseImage();
    if (m_hBuffer) {
        ::GlobalUnlock(m_hBuffer);
        ::GlobalFree(m_hBuffer);
        m_hBuffer = nullptr;
    }
}

bool CGdiPlusPngResource::Load(LPCWSTR name, HMODULE module) {
    Release();
    DWORD size = 0;
    const void* data = FindPng(module, name, &size);
    if (!data) return false;
    m_hBuffer = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!m_hBuffer) return false;
    void* copy = ::GlobalLock(m_hBuffer);
    if (!copy) {
        ::GlobalFree(m_hBuffer);
        m_hBuffer = nullptr;
        return false;
    }
    std::memcpy(copy, data, size);

    fw::ComPtr<IStream> stream;
    if (::CreateStreamOnHGlobal(m_hBuffer, FALSE, stream.put()) == S_OK) {
        m_pImage = NewGdiplusObject<Gdiplus::Image>(stream.get(), FALSE);
        if (m_pImage && m_pImage->GetLastStatus() == Gdiplus::Ok) return true;
        ReleaseImage();
    }
    ::GlobalUnlock(m_hBuffer);
    ::GlobalFree(m_hBuffer);
    m_hBuffer = nullptr;
    return false;
}

Gdiplus::Image* LoadPngFromResource(HMODULE module, UINT id) {
    DWORD size = 0;
    const void* data = FindPng(module, MAKEINTRESOURCEW(id & 0xFFFF), &size);
    if (!data) return nullptr;
    fw::GlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory) return nullptr;
    void* copy = ::GlobalLock(memory.get());
    if (!copy) return nullptr;
    std::memcpy(copy, data, size);
    ::GlobalUnlock(memory.get());

    fw::ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(memory.get(), TRUE, stream.put()))) return nullptr;
    memory.release();  // the stream frees it on its last release
    return NewGdiplusObject<Gdiplus::Image>(stream.get(), FALSE);
}
