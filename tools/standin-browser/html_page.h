#pragma once
// The document model the control draws, and the tolerant HTML reader that
// builds it. It knows just enough HTML for the platform's pages and never
// fails: whatever bytes arrive become some page.

#include <windows.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

// A piece of a block's text; an element marked data-external="NAME" becomes a
// run whose text the host's external object supplies once the page has loaded.
struct TextRun {
    std::wstring text;
    std::wstring externalName;
};

enum class BlockKind { Heading, Text, Link, Frame, Field };

struct Block {
    BlockKind kind = BlockKind::Text;
    std::vector<TextRun> runs;
    std::wstring href;  // links
    std::wstring target;  // links: the frame or window they open in
    size_t frame = 0;   // frames: index into Page::frames
    size_t field = 0;   // fields: index into Page::fields
};

constexpr size_t kNoForm = static_cast<size_t>(-1);

struct Form {
    std::wstring action;  // empty: the page's own address
    bool post = false;
};

enum class FieldKind { Text, Password, Hidden, Submit };

// An <input> or <button>, with what the user has done to it: its text, and
// the caret and the other end of the selection as offsets into it.
struct FormField {
    FieldKind kind = FieldKind::Text;
    std::wstring name;
    std::wstring value;
    std::wstring label;  // a button's face
    size_t form = kNoForm;
    bool autofocus = false;
    bool takesEscape = false;  // data-takes-escape: Escape is the field's, not the host's
    size_t caret = 0;
    size_t anchor = 0;
};

struct FrameRef {
    std::wstring src;
    std::wstring name;
};

struct MetaRefresh {
    UINT seconds = 0;
    std::wstring url;
};

struct Page {
    std::wstring title;
    COLORREF background = RGB(255, 255, 255);
    COLORREF text = RGB(0, 0, 0);
    std::vector<Block> blocks;
    std::vector<FrameRef> frames;
    std::vector<Form> forms;
    std::vector<FormField> fields;
    std::optional<MetaRefresh> refresh;
};

Page ParseHtml(std::string_view utf8);
Page ErrorPage(std::wstring_view url, std::wstring_view reason);
std::wstring BlockText(const Block& block);

}  // namespace standin
