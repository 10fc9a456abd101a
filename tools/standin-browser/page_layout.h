#pragma once
// Placing a page's blocks as lines in a window, drawing them with GDI, and
// finding the link under a point.

#include <windows.h>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "tools/standin-browser/html_page.h"

namespace standin {

using Font = fw::UniqueHandle<fw::GdiObjectTraits<HFONT>>;

struct PageFonts {
    PageFonts();
    Font body;
    Font heading;
    Font title;
    Font link;
};

enum class ItemKind { Text, Link, FrameBox, Field };

struct LayoutItem {
    ItemKind kind = ItemKind::Text;
    RECT rect{};       // in content coordinates (before scrolling)
    RECT clip{};       // what the item may paint over
    std::wstring text;
    std::wstring href;
    std::wstring target;  // links: the frame or window they open in
    HFONT font = nullptr;
    COLORREF colour = 0;  // text, or a frame's background
    int frame = -1;       // -1 for the page itself, else the frame the item lies in
    size_t field = 0;     // fields: index into the fields of the item's page
    const Page* page = nullptr;  // fields: the page the field belongs to
};

struct PageLayout {
    std::vector<LayoutItem> items;
    int height = 0;
};

// framePages[i] is the document shown in frame i, or null while it has none.
PageLayout LayOutPage(HDC dc, const PageFonts& fonts, const Page& page,
                      const std::vector<const Page*>& framePages, int width);
// The item that has the keyboard focus (or -1), and whether its caret shows.
struct FocusState {
    int item = -1;
    bool caret = false;
};

void PaintLayout(HDC dc, const PageLayout& layout, COLORREF background, const RECT& client, int scrollY,
                 const FocusState& focus);
// The link or field under a point, or -1.
int ItemAt(const PageLayout& layout, POINT contentPoint);
// Whether the keyboard can reach the item: the page's own links and fields.
bool Focusable(const LayoutItem& item);
// The offset in a field's text nearest to x (in content coordinates).
size_t FieldOffsetAt(HDC dc, const LayoutItem& item, int x);

}  // namespace standin
