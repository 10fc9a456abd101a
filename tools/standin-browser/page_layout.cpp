#include "tools/standin-browser/page_layout.h"

#include <algorithm>
#include <cstdlib>

namespace standin {

namespace {

constexpr int kMargin = 8;
constexpr int kGap = 4;
constexpr int kFrameHeight = 180;
constexpr COLORREF kLinkColour = RGB(0, 0, 238);
constexpr COLORREF kFrameBorder = RGB(128, 128, 128);
constexpr COLORREF kFieldBorder = RGB(118, 118, 118);
constexpr COLORREF kFocusBorder = RGB(0, 96, 223);
constexpr COLORREF kButtonFace = RGB(225, 225, 225);
constexpr int kFieldWidth = 260;
constexpr int kFieldPadding = 5;
constexpr wchar_t kMask = L'\u25CF';

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
                items_.back().target = block.target;
                break;
            case BlockKind::Field:
                if (block.field < page.fields.size()) {
                    y = AddField(page, block.field, left, y, width, clip, frame);
                }
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

    int AddField(const Page& page, size_t index, int left, int top, int width, const RECT& clip, int frame) {
        const FormField& field = page.fields[index];
        const RECT text = Measure(dc_, fonts_.body.get(), field.kind == FieldKind::Submit ? field.label : L"M",
                                  width, true);
        const int w = field.kind == FieldKind::Submit ? text.right + 4 * kFieldPadding : kFieldWidth;
        LayoutItem item;
        item.kind = ItemKind::Field;
        item.rect = {left, top, left + std::min(w, width), top + text.bottom + 2 * kFieldPadding};
        item.clip = clip;
        item.font = fonts_.body.get();
        item.colour = page.text;
        item.frame = frame;
        item.field = index;
        item.page = &page;
        items_.push_back(std::move(item));
        return top + text.bottom + 2 * kFieldPadding;
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

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void Frame(HDC dc, const RECT& r, COLORREF colour) {
    const RECT edges[] = {{r.left, r.top, r.right, r.top + 1},
                          {r.left, r.bottom - 1, r.right, r.bottom},
                          {r.left, r.top, r.left + 1, r.bottom},
                          {r.right - 1, r.top, r.right, r.bottom}};
    for (const RECT& edge : edges) Fill(dc, edge, colour);
}

const FormField& FieldOf(const LayoutItem& item) { return item.page->fields[item.field]; }

// What a text field shows: its text, or one mask per character of a password.
std::wstring Shown(const FormField& field) {
    return field.kind == FieldKind::Password ? std::wstring(field.value.size(), kMask) : field.value;
}

// x of every offset 0..text.size() from the text's start.
std::vector<int> Offsets(HDC dc, const std::wstring& text) {
    std::vector<int> x(text.size() + 1, 0);
    if (text.empty()) return x;
    SIZE size{};
    ::GetTextExtentExPointW(dc, text.c_str(), static_cast<int>(text.size()), 0, nullptr, x.data() + 1, &size);
    return x;
}

// The first offset drawn: a field scrolls so that its caret stays inside.
size_t FirstShown(const std::vector<int>& x, size_t caret, int width) {
    size_t start = 0;
    while (start < caret && x[caret] - x[start] > width) ++start;
    return start;
}

RECT Inner(const RECT& r) { return {r.left + kFieldPadding, r.top, r.right - kFieldPadding, r.bottom}; }

void PaintField(HDC dc, const LayoutItem& item, const RECT& rect, bool focused, bool caret) {
    const FormField& field = FieldOf(item);
    const FontSelection selection(dc, item.font);
    if (field.kind == FieldKind::Submit) {
        Fill(dc, rect, kButtonFace);
        Frame(dc, rect, focused ? kFocusBorder : kFieldBorder);
        ::SetTextColor(dc, RGB(0, 0, 0));
        RECT text = rect;
        ::DrawTextW(dc, field.label.c_str(), static_cast<int>(field.label.size()), &text,
                    DT_NOPREFIX | DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        return;
    }
    Fill(dc, rect, RGB(255, 255, 255));
    Frame(dc, rect, focused ? kFocusBorder : kFieldBorder);
    if (focused) {
        const RECT inner = {rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
        Frame(dc, inner, kFocusBorder);
    }
    const std::wstring shown = Shown(field);
    const RECT inner = Inner(rect);
    const std::vector<int> x = Offsets(dc, shown);
    const size_t caretAt = std::min(field.caret, shown.size());
    const size_t start = FirstShown(x, caretAt, inner.right - inner.left - 1);
    const int origin = inner.left - x[start];
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
    const size_t from = std::min(field.caret, field.anchor);
    const size_t to = std::min(std::max(field.caret, field.anchor), shown.size());
    if (focused && from < to) {
        const RECT selected = {origin + x[from], inner.top + 3, origin + x[to], inner.bottom - 3};
        Fill(dc, selected, ::GetSysColor(COLOR_HIGHLIGHT));
    }
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SetBkMode(dc, TRANSPARENT);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    const int textTop = rect.top + (rect.bottom - rect.top - metrics.tmHeight) / 2;
    const size_t count = std::min<size_t>(shown.size() - start, 4096);
    ::ExtTextOutW(dc, inner.left, textTop, 0, nullptr, shown.c_str() + start, static_cast<UINT>(count), nullptr);
    if (focused && caret) {
        const RECT bar = {origin + x[caretAt], textTop, origin + x[caretAt] + 1, textTop + metrics.tmHeight};
        Fill(dc, bar, RGB(0, 0, 0));
    }
    ::RestoreDC(dc, saved);
}

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

void PaintLayout(HDC dc, const PageLayout& layout, COLORREF background, const RECT& client, int scrollY,
                 const FocusState& focus) {
    ::SetBkColor(dc, background);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    ::SetBkMode(dc, TRANSPARENT);
    for (size_t i = 0; i < layout.items.size(); ++i) {
        const LayoutItem& item = layout.items[i];
        const bool focused = static_cast<int>(i) == focus.item;
        const RECT rect = Scrolled(item.rect, scrollY);
        RECT visible;
        if (!::IntersectRect(&visible, &rect, &client)) continue;
        const int saved = ::SaveDC(dc);
        const RECT clip = Scrolled(item.clip, scrollY);
        ::IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
        if (item.kind == ItemKind::Field) {
            PaintField(dc, item, rect, focused, focus.caret);
        } else if (item.kind == ItemKind::FrameBox) {
            Fill(dc, rect, item.colour);
            Frame(dc, rect, kFrameBorder);
        } else {
            const FontSelection selection(dc, item.font);
            ::SetTextColor(dc, item.colour);
            RECT textRect = rect;
            const UINT format = DT_NOPREFIX | (item.kind == ItemKind::Link ? DT_SINGLELINE : DT_WORDBREAK);
            ::DrawTextW(dc, item.text.c_str(), static_cast<int>(item.text.size()), &textRect, format);
            if (focused) {
                ::SetTextColor(dc, RGB(0, 0, 0));
                ::SetBkColor(dc, RGB(255, 255, 255));
                ::DrawFocusRect(dc, &rect);
            }
        }
        ::RestoreDC(dc, saved);
    }
}

int ItemAt(const PageLayout& layout, POINT contentPoint) {
    for (size_t i = 0; i < layout.items.size(); ++i) {
        const LayoutItem& item = layout.items[i];
        if ((item.kind == ItemKind::Link || item.kind == ItemKind::Field) && ::PtInRect(&item.rect, contentPoint) &&
            ::PtInRect(&item.clip, contentPoint)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool Focusable(const LayoutItem& item) {
    return item.frame == -1 && (item.kind == ItemKind::Link || item.kind == ItemKind::Field);
}

size_t FieldOffsetAt(HDC dc, const LayoutItem& item, int x) {
    const FormField& field = FieldOf(item);
    if (field.kind == FieldKind::Submit) return 0;
    const FontSelection selection(dc, item.font);
    const std::wstring shown = Shown(field);
    const RECT inner = Inner(item.rect);
    const std::vector<int> offsets = Offsets(dc, shown);
    const size_t start = FirstShown(offsets, std::min(field.caret, shown.size()), inner.right - inner.left - 1);
    size_t best = start;
    for (size_t i = start; i < offsets.size(); ++i) {
        if (std::abs(inner.left + offsets[i] - offsets[start] - x) <
            std::abs(inner.left + offsets[best] - offsets[start] - x)) {
            best = i;
        }
    }
    return best;
}

}  // namespace standin
