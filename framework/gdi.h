#pragma once
// Device contexts and GDI objects under the framework's class names.

#include <windows.h>
#include <utility>

class CWnd;

// A DC the wrapper does not own (the one a WM_CTLCOLOR or WM_ERASEBKGND hands over).
class CDC {
public:
    explicit CDC(HDC hdc = nullptr) : m_hDC(hdc) {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }

    HDC m_hDC;
};

// BeginPaint/EndPaint for the lifetime of the object.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND hwnd) : m_hWnd(hwnd) { m_hDC = ::BeginPaint(hwnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

// Owner of one GDI object of type H; empty after DeleteObject or Detach.
template <class H>
class CGdiObject {
public:
    CGdiObject() = default;
    CGdiObject(CGdiObject&& other) noexcept : m_hObject(other.Detach()) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept {
        if (this != &other) Attach(other.Detach());
        return *this;
    }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    ~CGdiObject() { DeleteObject(); }

    // Takes ownership, releasing whatever was held before.
    BOOL Attach(H handle) {
        DeleteObject();
        m_hObject = handle;
        return handle != nullptr;
    }
    H Detach() { return std::exchange(m_hObject, nullptr); }
    BOOL DeleteObject() {
        if (!m_hObject) return FALSE;
        return ::DeleteObject(Detach());
    }
    H GetSafeHandle() const { return m_hObject; }
    operator H() const { return m_hObject; }

protected:
    H m_hObject = nullptr;
};

class CBitmap : public CGdiObject<HBITMAP> {
public:
    BOOL LoadBitmap(HINSTANCE module, UINT id) {
        return Attach(::LoadBitmapW(module, MAKEINTRESOURCEW(id)));
    }
    // Fills *bm; false when no bitmap is held.
    bool GetBitmap(BITMAP* bm) const {
        return m_hObject && ::GetObjectW(m_hObject, sizeof(BITMAP), bm) == sizeof(BITMAP);
    }
};

class CBrush : public CGdiObject<HBRUSH> {
public:
    BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
};

class CFont : public CGdiObject<HFONT> {
public:
    // Height in tenths of a point, converted for the screen's resolution.
    BOOL CreatePointFont(int pointSize, const wchar_t* faceName);
};
