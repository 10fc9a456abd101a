#include "tools/standin-browser/page_layout.h"

#include <algorithm>

namespace standin {

namespace {

constexpr int kMargin = 8;
constexpr int kGap = 4;
constexpr int kFrameHeight = 180;
constexpr COLORREF kLinkColour = RGB(0, 0, 238);
constexpr COLORREF kFrameBorder = RGB(128, 128, 128);

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// The first installed face that carries CJK glyphs; the platform pages are Chinese.
const wchar_t* PageFace() {
    static const wchar_t* const face = [] {
        const wchar_t* const candidates[] = {L"Microsoft YaHei", L"SimSun", L"WenQuanYi Micro Hei",
                                             L"Noto Sans CJK SC"};
        const fw::WindowDC screen = fw::WindowDC::Client(nullptr);
        for (const wchar_t* candidate : candidates) {
            LOGFONTW lf{};
            lf.lfCharSet = DEFAULT_CHARSET;
            lstrcpynW(lf.lfFaceName, candidate, LF_FACESIZE);
            bool found = false;
            ::EnumFontFamiliesExW(screen.get(), &lf, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
            if (found) return candidate;
        }
        return L"Tahoma";
    }();
    return face;
}

Font MakeFont(int height, int weight, bool underline) {
    return Font(::CreateFontW(-height, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                              DEFAULT_PITCH | FF_SWISS, PageFace()));
}

class FontSelection {
public:
    FontSelection(HDC dc, HFONT font) : dc_(dc), old_(::SelectObject(dc, font)) {}
    FontSelection(const FontSelection&) = delete;
    FontSelection& operator=(const FontSelection&) = delete;
    ~FontSelection() { ::SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Height of text laid out in a box `width` wide; single-line items report their
// own width too.
RECT Measure(HDC dc, HFONT font, const std::wstring& text, int width, bool singleLine) {
    const FontSelection selection(dc, font);
    RECT r{0, 0, width, 0};
    const UINT format = DT_CALCRECT | DT_NOPREFIX | (singleLine ? DT_SINGLELINE : DT_WORDBREAK);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
    return r;
}

class Placer {
public:
    Placer(HDC dc, const PageFonts& fonts, std::vector<LayoutItem>& items)
        : dc_(dc), fonts_(fonts), items_(items) {}

    // Lays out `page` in the box [left, left + width) from `top`; returns the bottom.
    int Place(const Page& page, const std::vector<const Page*>& framePages, int left, int top,
              int width, const RECT& clip, int frame) {
        int y = top;
        width = std::max(width, 1);
        if (!page.title.empty()) {
            y = AddText(ItemKind::Text, page.title, {}, fonts_.title.get(), page.text, left, y, width,
                        clip, frame) + kGap * 2;
        }
        for (const Block& block : page.blocks) {
            switch (block.kind) {
            case BlockKind::Heading:
                y = AddText(ItemKind::Text, BlockText(block), {}, fonts_.heading.get(), page.text, left,
                            y, width, clip, frame);
                break;
            case BlockKind::Text:
                y = AddText(ItemKind::Text, BlockText(block), {}, fonts_.body.get(), page.text, left, y,
                            width, clip, frame);
                break;
            case BlockKind::Link:
                y = AddText(ItemKind::Link, BlockText(block), block.href, fonts_.link.get(), kLinkColour,
                            left, y, width, clip, frame);
                break;
            case BlockKind::Frame:
                y = AddFrame(block.frame < framePages.size() ? framePages[block.frame] : nullptr,
                             static_cast<int>(block.frame), left, y, width, clip);
                break;
            }
            y += kGap;
        }
        return y;
    }

private:
    int AddText(ItemKind kind, const std::wstring& text, const std::wstring& href, HFONT font,
                COLORREF colour, int left, int top, int width, const RECT& clip, int frame) {
        const bool link = kind == ItemKind::Link;
        const RECT size = Measure(dc_, font, text, width, link);
        LayoutItem item;
        item.kind = kind;
        item.rect = {left, top, left + std::min<int>(size.right, width), top + size.bottom};
        item.clip = clip;
        item.text = text;
        item.href = href;
        item.font = font;
        item.colour = colour;
        item.frame = frame;
        items_.push_back(std::move(item));
        return top + size.bottom;
    }

    int AddFrame(const Page* content, int frame, int left, int top, int width, const RECT& clip) {
        LayoutItem box;
        box.kind = ItemKind::FrameBox;
        box.rect = {left, top, left + width, top + kFrameHeight};
        box.clip = clip;
        box.frame = frame;
        box.colour = content ? content->background : RGB(255, 255, 255);
        items_.push_back(box);
        if (content) {
            RECT inner = {box.rect.left + 1, box.rect.top + 1, box.rect.right - 1, box.rect.bottom - 1};
            RECT innerClip;
            ::IntersectRect(&innerClip, &inner, &clip);
            Place(*content, {}, inner.left + kMargin, inner.top + kMargin, width - 2 - 2 * kMargin,
                  innerClip, frame);
        }
        return box.rect.bottom;
    }

    HDC dc_;
    const PageFonts& fonts_;
    std::vector<LayoutItem>& items_;
};

RECT Scrolled(RECT r, int scrollY) {
    ::OffsetRect(&r, 0, -scrollY);
    return r;
}

}  // namespace

PageFonts::PageFonts()
    : body(MakeFont(16, FW_NORMAL, false)),
      heading(MakeFont(24, FW_BOLD, false)),
      title(MakeFont(20, FW_BOLD, false)),
      link(MakeFont(16, FW_NORMAL, true)) {}

PageLayout LayOutPage(HDC dc, const PageFonts& fonts, const Page& page,
                      const std::vector<const Page*>& framePages, int width) {
    PageLayout layout;
    const RECT everything = {-0x4000000, -0x4000000, 0x4000000, 0x4000000};
    layout.height = Placer(dc, fonts, layout.items)
                        .Place(page, framePages, kMargin, kMargin, width - 2 * kMargin, everything, -1) +
                    kMargin;
    return layout;
}

void PaintLayout(HDC dc, const PageLayout& layout, COLORREF background, const RECT& client, int scrollY) {
    ::SetBkColor(dc, background);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    ::SetBkMode(dc, TRANSPARENT);
    for (const LayoutItem& item : layout.items) {
        const RECT rect = Scrolled(item.rect, scrollY);
        RECT visible;
        if (!::IntersectRect(&visible, &rect, &client)) continue;
        const int saved = ::SaveDC(dc);
        const RECT clip = Scrolled(item.clip, scrollY);
        ::IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
        if (item.kind == ItemKind::FrameBox) {
            ::SetBkColor(dc, item.colour);
            ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
            ::SetBkColor(dc, kFrameBorder);
            const RECT edges[] = {{rect.left, rect.top, rect.right, rect.top + 1},
                                  {rect.left, rect.bottom - 1, rect.right, rect.bottom},
                                  {rect.left, rect.top, rect.left + 1, rect.bottom},
                                  {rect.right - 1, rect.top, rect.right, rect.bottom}};
            for (const RECT& edge : edges) ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &edge, nullptr, 0, nullptr);
        } else {
            const FontSelection selection(dc, item.font);
            ::SetTextColor(dc, item.colour);
            RECT textRect = rect;
            const UINT format = DT_NOPREFIX | (item.kind == ItemKind::Link ? DT_SINGLELINE : DT_WORDBREAK);
            ::DrawTextW(dc, item.text.c_str(), static_cast<int>(item.text.size()), &textRect, format);
        }
        ::RestoreDC(dc, saved);
    }
}

const LayoutItem* LinkAt(const PageLayout& layout, POINT contentPoint) {
    for (const LayoutItem& item : layout.items) {
        if (item.kind == ItemKind::Link && ::PtInRect(&item.rect, contentPoint) &&
            ::PtInRect(&item.clip, contentPoint)) {
            return &item;
        }
    }
    return nullptr;
}

}  // namespace standin
