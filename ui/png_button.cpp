#include "ui/png_button.h"

#include <commctrl.h>

#include "framework/app.h"
#include "ui/gdiplus_new.h"
#include "ui/png.h"

namespace {
constexpr int kStateRows = 4;
constexpr int kHoverRow = 1;
constexpr int kPressedRow = 2;
constexpr DWORD kHoverTimeMs = 1;
}  // namespace

CPngButton::~CPngButton() { ReleaseStrip(); }

const fw::MessageMap* CPngButton::GetMessageMap() const {
    static const fw::MessageEntry entries[] = {
        fw::OnMessage<WM_MOUSEMOVE, &CPngButton::OnMouseMove>(),
        fw::OnMessage<WM_MOUSEHOVER, &CPngButton::OnMouseHover>(),
        fw::OnMessage<WM_MOUSELEAVE, &CPngButton::OnMouseLeave>(),
        fw::OnMessage<WM_LBUTTONDOWN, &CPngButton::OnLButtonDown>(),
        fw::OnMessage<WM_LBUTTONUP, &CPngButton::OnLButtonDown>(),
        fw::OnMessage<WM_SETCURSOR, &CPngButton::OnSetCursor>(),
        fw::OnMessage<WM_SETFOCUS, &CPngButton::OnSetFocus>(),
        fw::OnMessage<WM_ERASEBKGND, &CPngButton::OnEraseBkgnd>(),
        fw::OnMessage<WM_DESTROY, &CPngButton::OnDestroy>(),
    };
    static const fw::MessageMap map(CButton::GetMessageMap(), entries);
    return &map;
}

void CPngButton::PreSubclassWindow() {
    // A push button's type is 0, so adding the owner-draw type gives exactly it.
    ModifyStyle(0, BS_OWNERDRAW);
    CButton::PreSubclassWindow();
}

LRESULT CPngButton::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDBLCLK) message = WM_LBUTTONDOWN;
    return CButton::DefWindowProc(message, wParam, lParam);
}

void CPngButton::ReleaseStrip() {
    delete m_pImage;
    m_pImage = nullptr;
    delete m_pGraphics;
    m_pGraphics = nullptr;
    m_windowDC.reset();
}

void CPngButton::SetPngImage(UINT id) {
    ReleaseStrip();
    m_pImage = LoadPngFromResource(AfxGetResourceHandle(), id);
    if (!m_pImage) {
        m_nWidth = 0;
        m_nStateHeight = 0;
        return;
    }
    m_nWidth = static_cast<int>(m_pImage->GetWidth());
    m_nStateHeight = static_cast<int>(m_pImage->GetHeight()) / kStateRows;
    // Without SWP_NOZORDER: the button given its strip last lies on top of its siblings.
    SetWindowPos(HWND_TOP, 0, 0, m_nWidth, m_nStateHeight, SWP_NOMOVE);

    m_windowDC = fw::WindowDC::Whole(m_hWnd);
    // Left null when GDI+ cannot allocate it: the button then draws nothing.
    m_pGraphics = NewGdiplusObject<Gdiplus::Graphics>(m_windowDC.get());
}

void CPngButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    if (!m_pGraphics || !m_pImage) return;
    const int row = (lpDrawItemStruct->itemState & ODS_SELECTED) ? kPressedRow
                    : m_bHover                                   ? kHoverRow
                                                                 : 0;
    m_pGraphics->DrawImage(m_pImage, Gdiplus::Rect(0, 0, m_nWidth, m_nStateHeight), 0,
                           row * m_nStateHeight, m_nWidth, m_nStateHeight, Gdiplus::UnitPixel);
}

void CPngButton::OnMouseMove(UINT, CPoint) {
    if (!m_bTracking) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = kHoverTimeMs;
        m_bTracking = ::_TrackMouseEvent(&track);
    }
    Default();
}

void CPngButton::OnMouseHover(UINT, CPoint) {
    m_bHover = TRUE;
    InvalidateRect(nullptr, TRUE);
}

void CPngButton::OnMouseLeave() {
    m_bTracking = FALSE;
    m_bHover = FALSE;
    InvalidateRect(nullptr, TRUE);
}

void CPngButton::OnLButtonDown(UINT, CPoint) {
    InvalidateRect(nullptr, TRUE);
    Default();
}

BOOL CPngButton::OnSetCursor(CWnd*, UINT, UINT) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
}

// A button the keyboard cannot reach by Tab is no keyboard target at all: a
// press (or a dialog restoring its focus) hands the focus straight back where it
// came from, else to the dialog's first tab stop (the page), else to nothing.
// The press itself goes on: the button takes the mouse only after this.
void CPngButton::OnSetFocus(CWnd* pOldWnd) {
    Default();
    if (::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_TABSTOP) return;
    const HWND dialog = ::GetParent(m_hWnd);
    HWND back = pOldWnd ? pOldWnd->m_hWnd : nullptr;
    if (!back || !::IsChild(dialog, back) || !::IsWindowVisible(back))
        back = ::GetNextDlgTabItem(dialog, nullptr, FALSE);
    ::SetFocus(back != m_hWnd ? back : nullptr);
}

BOOL CPngButton::OnEraseBkgnd(CDC*) { return TRUE; }

void CPngButton::OnDestroy() {
    // The window DC goes with the window, not with the object.
    ReleaseStrip();
    Default();
}

void SetUpPngButton(CPngButton& button, UINT stripId) {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&button.m_gdiplusToken, &input, nullptr) != Gdiplus::Ok)
        ::MessageBoxW(nullptr, L"Initialize GDI+ library failed", L"Error", MB_ICONERROR);
    button.SetPngImage(stripId);
}
