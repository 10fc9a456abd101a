#pragma once
// Per-class message tables (entries are built with the helpers of message_crackers.h). A class lists its handlers next to them:
//
//   const MessageMap* CGameDialog::GetMessageMap() const {
//       static const MessageEntry entries[] = {
//           OnCommand<&CGameDialog::ToggleMaximized>(IDC_MAXIMIZE),
//           OnMessage<WM_SIZE, &CGameDialog::OnSize>(),
//       };
//       static const MessageMap map{CDialogEx::GetMessageMap(), entries};
//       return &map;
//   }
//
// The crackers below turn wParam/lParam into the typed arguments each handler
// takes. Messages no table lists get default processing.

#include <windows.h>
#include <cstddef>

class CWnd;

struct CPoint : POINT {
    CPoint(int px, int py) : POINT{px, py} {}
    explicit CPoint(LPARAM lp)
        : POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))} {}
};

namespace fw {

// All WM_CTLCOLOR* requests reach one table entry under this identifier.
constexpr UINT WM_CTLCOLOR = 0x0019;

struct MessageEntry {
    UINT message;
    UINT id;    // command identifier for WM_COMMAND entries
    UINT code;  // notification code for WM_COMMAND entries
    LRESULT (*call)(CWnd* self, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMap* base;
    const MessageEntry* entries;
    std::size_t count;

    template <std::size_t N>
    MessageMap(const MessageMap* baseMap, const MessageEntry (&table)[N])
        : base(baseMap), entries(table), count(N) {}
    explicit MessageMap(const MessageMap* baseMap) : base(baseMap), entries(nullptr), count(0) {}
};


}  // namespace fw
