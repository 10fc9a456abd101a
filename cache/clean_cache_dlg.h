#pragma once
// The cache-cleaning progress window and the purge worker it runs: a dark,
// partly transparent layer over the work area that closes once the worker has
// emptied the URL cache and the cookie and temporary-file folders.

#include <windows.h>
#include <atomic>
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "ui/layered_window.h"

class CCleanCacheDlg : public CDialogEx {
public:
    // Which URL-cache entries PurgeUrlCache deletes; any other mode deletes none.
    enum { PURGE_CONTENT = 0, PURGE_COOKIES = 1 };

    // The window never has a parent: DoModal picks the owner.
    explicit CCleanCacheDlg(CWnd* parent = nullptr);
    ~CCleanCacheDlg() override;

    // Walks the whole URL cache, deleting the entries of `mode`. TRUE when the
    // cache had an entry to look at.
    BOOL PurgeUrlCache(int mode);
    // Deletes what `folder` holds (not the folder), sparing files named exactly
    // "desktop.ini" and never following a link. TRUE when the folder could be
    // searched.
    BOOL PurgeFolder(const wchar_t* folder);
    // For tests: called with each entry's path between listing and opening it.
    static inline void (*s_pfnBetweenFindAndOpen)(const wchar_t* path) = nullptr;

    CBitmap m_bmpBackground;
    CStatic m_stText;
    UINT m_nDots = 0;
    CLayeredWindowHelper m_layered;
    CBrush m_brKey;
    COLORREF m_crKey = 0;
    // Set before the worker resumes; the worker closes and clears it just before
    // its close request, which the window may be reading meanwhile.
    std::atomic<HANDLE> m_hThread{nullptr};
    // Written by the window, polled by the worker after every item.
    std::atomic<BOOL> m_bStop{FALSE};

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    const fw::MessageMap* GetMessageMap() const override;

    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    void OnPaint();
    void OnTimer(UINT_PTR nIDEvent);
    void OnClose();

private:
    friend unsigned __stdcall CleanCacheThreadProc(void* param);

    // Starts the worker; false when it could not be started.
    bool StartWorker();

    // m_hWnd as it was when the worker started: the window clears m_hWnd when it
    // is destroyed, which a quit can make happen while the worker still runs.
    HWND m_hCloseTarget = nullptr;

    // The window's own handle to the worker, which the worker never closes: the
    // destructor waits on it, since the worker reads this object to the end.
    fw::KernelHandle m_worker;
};

// The worker (for _beginthreadex): purges cookies, then everything else, and
// asks `param`, the CCleanCacheDlg that started it, to close. Returns 0.
unsigned __stdcall CleanCacheThreadProc(void* param);
