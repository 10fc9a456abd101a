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

enum class BlockKind { Heading, Text, Link, Frame };

struct Block {
    BlockKind kind = BlockKind::Text;
    std::vector<TextRun> runs;
    std::wstring href;  // links
    size_t frame = 0;   // frames: index into Page::frames
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
    std::optional<MetaRefresh> refresh;
};

Page ParseHtml(std::string_view utf8);
Page ErrorPage(std::wstring_view url, std::wstring_view reason);
std::wstring BlockText(const Block& block);

}  // namespace standin
