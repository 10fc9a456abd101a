#pragma once
// PNG resources decoded by GDI+.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

// A decoded image, or nothing.
class CGdiPlusPng {
public:
    CGdiPlusPng() = default;
    CGdiPlusPng(const CGdiPlusPng&) = delete;
    CGdiPlusPng& operator=(const CGdiPlusPng&) = delete;
    virtual ~CGdiPlusPng() { ReleaseImage(); }

    UINT Width() const { return m_pImage ? m_pImage->GetWidth() : 0; }
    UINT Height() const { return m_pImage ? m_pImage->GetHeight() : 0; }

    Gdiplus::Image* m_pImage = nullptr;

protected:
    void ReleaseImage() {
        delete m_pImage;
        m_pImage = nullptr;
    }
};

// An image decoded from a "PNG" resource, kept together with the copy of the
// resource bytes that its stream reads from.
class CGdiPlusPngResource : public CGdiPlusPng {
public:
    ~CGdiPlusPngResource() override { Release(); }

    // True when the holder holds the decoded resource afterwards; on false it is empty.
    bool Load(LPCWSTR name, HMODULE module);

    HGLOBAL m_hBuffer = nullptr;

private:
    // The image goes before the memory it reads.
    void Release();
};

// A new image of the "PNG" resource `id`, owned by the caller; null when no image
// object could be made. An undecodable resource gives an image of size 0 x 0.
Gdiplus::Image* LoadPngFromResource(HMODULE module, UINT id);
