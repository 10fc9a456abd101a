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

enum class ItemKind { Text, Link, FrameBox };

struct LayoutItem {
    ItemKind kind = ItemKind::Text;
    RECT rect{};       // in content coordinates (before scrolling)
    RECT clip{};       // what the item may paint over
    std::wstring text;
    std::wstring href;
    HFONT font = nullptr;
    COLORREF colour = 0;  // text, or a frame's background
    int frame = -1;       // -1 for the page itself, else the frame the item lies in
};

struct PageLayout {
    std::vector<LayoutItem> items;
    int height = 0;
};

// framePages[i] is the document shown in frame i, or null while it has none.
PageLayout LayOutPage(HDC dc, const PageFonts& fonts, const Page& page,
                      const std::vector<const Page*>& framePages, int width);
void PaintLayout(HDC dc, const PageLayout& layout, COLORREF background, const RECT& client, int scrollY);
const LayoutItem* LinkAt(const PageLayout& layout, POINT contentPoint);

}  // namespace standin
