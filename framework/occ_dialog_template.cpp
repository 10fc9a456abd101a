#include "framework/occ_dialog_template.h"

#include <objbase.h>
#include <cstring>
#include <string>

namespace fw {

namespace {

// Bounded little-endian reads over the template; every read fails rather than
// step past the end.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t offset() const { return offset_; }

    bool Skip(std::size_t n) {
        if (n > size_ - offset_) return false;
        offset_ += n;
        return true;
    }
    bool AlignToDword() { return Skip((4 - offset_ % 4) % 4); }

    template <class T>
    bool Read(T* value) {
        if (sizeof(T) > size_ - offset_) return false;
        std::memcpy(value, data_ + offset_, sizeof(T));
        offset_ += sizeof(T);
        return true;
    }

    // A NUL-terminated wide string; `text` may be null.
    bool ReadString(std::wstring* text) {
        for (;;) {
            WORD ch = 0;
            if (!Read(&ch)) return false;
            if (ch == 0) return true;
            if (text) text->push_back(static_cast<wchar_t>(ch));
        }
    }

    // The menu, class and title fields: none (0), an ordinal (0xFFFF, n) or a string.
    bool ReadNameOrOrdinal(std::wstring* text) {
        WORD first = 0;
        if (!Read(&first)) return false;
        if (first == 0) return true;
        if (first == 0xFFFF) return Skip(sizeof(WORD));
        offset_ -= sizeof(WORD);
        return ReadString(text);
    }

private:
    const BYTE* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

constexpr WORD kExtendedSignature = 0xFFFF;

struct TemplateLayout {
    bool extended = false;
    std::size_t countOffset = 0;
    WORD count = 0;
};

// Reads the dialog header up to the end of its font, leaving the reader there.
bool ReadHeader(TemplateReader& reader, TemplateLayout* layout) {
    WORD version = 0;
    WORD signature = 0;
    if (!reader.Read(&version) || !reader.Read(&signature)) return false;
    layout->extended = version == 1 && signature == kExtendedSignature;
    DWORD style = 0;
    if (layout->extended) {
        // dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y, cx, cy
        if (!reader.Skip(2 * sizeof(DWORD)) || !reader.Read(&style)) return false;
    } else {
        // style, dwExtendedStyle, cdit, x, y, cx, cy
        style = MAKELONG(version, signature);
        if (!reader.Skip(sizeof(DWORD))) return false;
    }
    layout->countOffset = reader.offset();
    if (!reader.Read(&layout->count) || !reader.Skip(4 * sizeof(short))) return false;
    if (!reader.ReadNameOrOrdinal(nullptr) || !reader.ReadNameOrOrdinal(nullptr) ||
        !reader.ReadString(nullptr)) {
        return false;
    }
    if (style & DS_SETFONT) {
        // point size; weight, italic and charset in the extended form; typeface
        const std::size_t fontFields = layout->extended ? 3 * sizeof(WORD) : sizeof(WORD);
        if (!reader.Skip(fontFields) || !reader.ReadString(nullptr)) return false;
    }
    return true;
}

struct ItemFields {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    UINT id = 0;
    std::wstring windowClass;
};

// Reads one control from its DWORD-aligned start to the end of its creation data.
bool ReadItem(TemplateReader& reader, bool extended, ItemFields* item) {
    if (extended) {
        // helpID, exStyle, style
        if (!reader.Skip(2 * sizeof(DWORD)) || !reader.Read(&item->style)) return false;
    } else {
        // style, dwExtendedStyle
        if (!reader.Read(&item->style) || !reader.Skip(sizeof(DWORD))) return false;
    }
    if (!reader.Read(&item->x) || !reader.Read(&item->y) || !reader.Read(&item->cx) ||
        !reader.Read(&item->cy)) {
        return false;
    }
    if (extended) {
        DWORD id = 0;
        if (!reader.Read(&id)) return false;
        item->id = id;
    } else {
        WORD id = 0;
        if (!reader.Read(&id)) return false;
        item->id = id;
    }
    WORD extraBytes = 0;
    return reader.ReadNameOrOrdinal(&item->windowClass) && reader.ReadNameOrOrdinal(nullptr) &&
           reader.Read(&extraBytes) && reader.Skip(extraBytes);
}

bool ClassIdOf(const std::wstring& windowClass, CLSID* clsid) {
    return !windowClass.empty() && windowClass[0] == L'{' &&
           SUCCEEDED(::CLSIDFromString(windowClass.c_str(), clsid));
}

}  // namespace

bool SplitOleControls(const void* dialogTemplate, std::size_t size, SplitDialogTemplate* out) {
    out->dialog.clear();
    out->controls.clear();
    const auto* bytes = static_cast<const BYTE*>(dialogTemplate);
    TemplateReader reader(bytes, size);
    TemplateLayout layout;
    if (!ReadHeader(reader, &layout)) return false;

    std::vector<BYTE> kept(bytes, bytes + reader.offset());
    WORD keptCount = 0;
    for (std::size_t index = 0; index < layout.count; ++index) {
        if (!reader.AlignToDword()) return false;
        const std::size_t start = reader.offset();
        ItemFields item;
        if (!ReadItem(reader, layout.extended, &item)) return false;
        CLSID clsid{};
        if (ClassIdOf(item.windowClass, &clsid)) {
            const RECT rect{item.x, item.y, item.x + item.cx, item.y + item.cy};
            out->controls.push_back({clsid, rect, item.style, item.id, index});
            continue;
        }
        kept.resize((kept.size() + 3) & ~std::size_t{3});
        kept.insert(kept.end(), bytes + start, bytes + reader.offset());
        ++keptCount;
    }
    if (out->controls.empty()) return true;
    std::memcpy(kept.data() + layout.countOffset, &keptCount, sizeof(keptCount));
    out->dialog = std::move(kept);
    return true;
}

}  // namespace fw
