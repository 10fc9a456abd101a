#include "tools/standin-browser/html_page.h"

#include <cwctype>
#include <utility>

namespace standin {

namespace {

std::wstring DecodeUtf8(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.remove_prefix(3);
    if (bytes.empty()) return {};
    // Without MB_ERR_INVALID_CHARS, malformed sequences become U+FFFD.
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                        nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::wstring Lower(std::wstring_view s) {
    std::wstring out(s);
    for (auto& c : out) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f'; }

std::wstring_view Trim(std::wstring_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

void AppendCodePoint(std::wstring& out, unsigned long cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<wchar_t>(cp);
    }
}

std::wstring DecodeEntities(std::wstring_view s) {
    static const std::pair<std::wstring_view, wchar_t> kNamed[] = {
        {L"amp", L'&'},       {L"lt", L'<'},        {L"gt", L'>'},      {L"quot", L'"'},
        {L"apos", L'\''},     {L"nbsp", L'\u00A0'}, {L"mdash", L'\u2014'}, {L"ndash", L'\u2013'},
        {L"hellip", L'\u2026'}, {L"copy", L'\u00A9'}, {L"middot", L'\u00B7'},
    };
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const size_t semi = s[i] == L'&' ? s.find(L';', i) : std::wstring_view::npos;
        if (semi == std::wstring_view::npos || semi - i > 10) {
            out += s[i];
            continue;
        }
        const std::wstring_view name = s.substr(i + 1, semi - i - 1);
        bool decoded = false;
        if (name.size() > 1 && name[0] == L'#') {
            const bool hex = name[1] == L'x' || name[1] == L'X';
            const std::wstring digits(name.substr(hex ? 2 : 1));
            wchar_t* end = nullptr;
            const unsigned long cp = std::wcstoul(digits.c_str(), &end, hex ? 16 : 10);
            if (!digits.empty() && end && *end == L'\0') {
                AppendCodePoint(out, cp);
                decoded = true;
            }
        } else {
            for (const auto& [entity, ch] : kNamed) {
                if (name == entity) {
                    out += ch;
                    decoded = true;
                    break;
                }
            }
        }
        if (decoded) {
            i = semi;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::optional<COLORREF> ParseColour(std::wstring_view value) {
    const size_t hash = value.find(L'#');
    if (hash == std::wstring_view::npos) return std::nullopt;
    std::wstring digits;
    for (size_t i = hash + 1; i < value.size() && std::iswxdigit(value[i]); ++i) digits += value[i];
    if (digits.size() == 3) digits = {digits[0], digits[0], digits[1], digits[1], digits[2], digits[2]};
    if (digits.size() != 6) return std::nullopt;
    const unsigned long rgb = std::wcstoul(digits.c_str(), nullptr, 16);
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

std::optional<MetaRefresh> ParseRefresh(std::wstring_view content) {
    content = Trim(content);
    size_t i = 0;
    UINT seconds = 0;
    while (i < content.size() && std::iswdigit(content[i])) {
        seconds = seconds * 10 + static_cast<UINT>(content[i] - L'0');
        if (seconds > 86400) return std::nullopt;
        ++i;
    }
    if (i == 0) return std::nullopt;
    std::wstring_view rest = content.substr(i);
    while (!rest.empty() && (IsSpace(rest.front()) || rest.front() == L';' || rest.front() == L',')) {
        rest.remove_prefix(1);
    }
    if (Lower(rest.substr(0, 3)) == L"url") {
        rest.remove_prefix(3);
        rest = Trim(rest);
        if (!rest.empty() && rest.front() == L'=') rest.remove_prefix(1);
        rest = Trim(rest);
    }
    if (rest.size() >= 2 && (rest.front() == L'\'' || rest.front() == L'"') && rest.back() == rest.front()) {
        rest = rest.substr(1, rest.size() - 2);
    }
    MetaRefresh refresh;
    refresh.seconds = seconds;
    refresh.url = std::wstring(rest);
    return refresh;
}

struct Tag {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;

    const std::wstring* Attribute(std::wstring_view attribute) const {
        for (const auto& [key, value] : attributes) {
            if (key == attribute) return &value;
        }
        return nullptr;
    }
};

bool IsBlockBoundary(std::wstring_view name) {
    static const std::wstring_view kBlocks[] = {
        L"p",       L"div",    L"li",     L"ul",     L"ol",   L"br",   L"tr",     L"table",
        L"hr",      L"body",   L"html",   L"head",   L"section", L"article", L"header", L"footer",
        L"nav",     L"form",   L"blockquote", L"pre", L"dl",  L"dt",   L"dd",     L"center",
        L"main",    L"h1",     L"h2",     L"h3",     L"h4",   L"h5",   L"h6",
    };
    for (const auto b : kBlocks) {
        if (name == b) return true;
    }
    return false;
}

bool IsHeading(std::wstring_view name) {
    return name.size() == 2 && name[0] == L'h' && name[1] >= L'1' && name[1] <= L'6';
}

// Turns the token stream into blocks: one block per line of text, one per link.
class PageBuilder {
public:
    void Text(std::wstring_view text) {
        if (button_ != kNoForm) {
            AppendButtonText(text);
            return;
        }
        for (const wchar_t c : text) {
            if (IsSpace(c) || c == L'\u00A0') {
                pendingSpace_ = true;
                continue;
            }
            if (c < 0x20) continue;
            TextRun& run = CurrentRun();
            if (pendingSpace_ && HasText()) run.text += L' ';
            pendingSpace_ = false;
            run.text += c;
        }
    }

    void Start(const Tag& tag) {
        if (IsBlockBoundary(tag.name)) Flush();
        if (IsHeading(tag.name)) ++headingDepth_;
        if (tag.name == L"a") {
            if (const std::wstring* href = tag.Attribute(L"href")) {
                Flush();
                link_ = *href;
                // Without scripts, data-window-open stands for a click handler calling window.open.
                const std::wstring* target = tag.Attribute(L"target");
                linkTarget_ = tag.Attribute(L"data-window-open") ? L"_blank" : target ? *target : L"";
            }
        } else if (tag.name == L"body") {
            if (const std::wstring* style = tag.Attribute(L"style")) ApplyBodyStyle(*style);
        } else if (tag.name == L"meta") {
            const std::wstring* equiv = tag.Attribute(L"http-equiv");
            const std::wstring* content = tag.Attribute(L"content");
            if (equiv && content && Lower(*equiv) == L"refresh") page_.refresh = ParseRefresh(*content);
        } else if (tag.name == L"form") {
            Form form;
            if (const std::wstring* action = tag.Attribute(L"action")) form.action = *action;
            if (const std::wstring* method = tag.Attribute(L"method")) form.post = Lower(*method) == L"post";
            form_ = page_.forms.size();
            page_.forms.push_back(std::move(form));
        } else if (tag.name == L"input") {
            AddInput(tag);
        } else if (tag.name == L"button") {
            const std::wstring* type = tag.Attribute(L"type");
            if (!type || Lower(*type) == L"submit") {
                button_ = AddField(tag, FieldKind::Submit);
            }
        } else if (tag.name == L"iframe") {
            Flush();
            FrameRef frame;
            if (const std::wstring* src = tag.Attribute(L"src")) frame.src = *src;
            if (const std::wstring* name = tag.Attribute(L"name")) frame.name = *name;
            Block block;
            block.kind = BlockKind::Frame;
            block.frame = page_.frames.size();
            page_.frames.push_back(std::move(frame));
            page_.blocks.push_back(std::move(block));
        }
        if (const std::wstring* name = tag.Attribute(L"data-external"); name && externalTag_.empty()) {
            BreakRun();
            externalTag_ = tag.name;
            externalName_ = *name;
            block_.runs.push_back(TextRun{L"", *name});
        }
    }

    void End(std::wstring_view name) {
        if (name == L"form") form_ = kNoForm;
        if (name == L"button" && button_ != kNoForm) {
            FormField& field = page_.fields[button_];
            while (!field.label.empty() && field.label.back() == L' ') field.label.pop_back();
            button_ = kNoForm;
        }
        if (!externalTag_.empty() && name == externalTag_) {
            BreakRun();
            externalTag_.clear();
            externalName_.clear();
        }
        if (name == L"a" && link_) {
            Flush();
            link_.reset();
        }
        if (IsBlockBoundary(name)) Flush();
        if (IsHeading(name) && headingDepth_ > 0) --headingDepth_;
    }

    void Title(std::wstring_view text) {
        std::wstring title;
        bool space = false;
        for (const wchar_t c : text) {
            if (IsSpace(c)) {
                space = !title.empty();
            } else {
                if (space) title += L' ';
                space = false;
                title += c;
            }
        }
        page_.title = std::move(title);
    }

    Page Finish() {
        Flush();
        return std::move(page_);
    }

private:
    void AddInput(const Tag& tag) {
        const std::wstring* typeAttribute = tag.Attribute(L"type");
        const std::wstring type = typeAttribute ? Lower(*typeAttribute) : L"text";
        FieldKind kind = FieldKind::Text;
        if (type == L"password") {
            kind = FieldKind::Password;
        } else if (type == L"hidden") {
            kind = FieldKind::Hidden;
        } else if (type == L"submit") {
            kind = FieldKind::Submit;
        } else if (type != L"text" && type != L"search" && type != L"email" && type != L"tel" && type != L"url") {
            return;  // check boxes, files and the like are not drawn
        }
        const size_t index = AddField(tag, kind);
        FormField& field = page_.fields[index];
        if (kind == FieldKind::Submit) field.label = field.value.empty() ? L"Submit" : field.value;
        field.caret = field.anchor = field.value.size();
    }

    size_t AddField(const Tag& tag, FieldKind kind) {
        FormField field;
        field.kind = kind;
        if (const std::wstring* name = tag.Attribute(L"name")) field.name = *name;
        if (const std::wstring* value = tag.Attribute(L"value")) field.value = *value;
        field.form = form_;
        field.autofocus = tag.Attribute(L"autofocus") != nullptr;
        field.takesEscape = tag.Attribute(L"data-takes-escape") != nullptr;
        const size_t index = page_.fields.size();
        page_.fields.push_back(std::move(field));
        if (kind != FieldKind::Hidden) {
            Flush();
            Block block;
            block.kind = BlockKind::Field;
            block.field = index;
            page_.blocks.push_back(std::move(block));
        }
        return index;
    }

    void AppendButtonText(std::wstring_view text) {
        std::wstring& label = page_.fields[button_].label;
        for (const wchar_t c : text) {
            if (IsSpace(c) || c == L'\u00A0') {
                if (!label.empty() && label.back() != L' ') label += L' ';
            } else if (c >= 0x20) {
                label += c;
            }
        }
    }

    bool InExternal() const { return !externalTag_.empty(); }

    bool HasText() const {
        for (const auto& run : block_.runs) {
            if (!run.text.empty()) return true;
        }
        return false;
    }

    TextRun& CurrentRun() {
        if (block_.runs.empty() || block_.runs.back().externalName != externalName_) {
            block_.runs.push_back(TextRun{L"", externalName_});
        }
        return block_.runs.back();
    }

    // A space before an external element belongs to the text in front of it,
    // since the element's own text is replaced later.
    void BreakRun() {
        if (pendingSpace_ && HasText()) {
            if (block_.runs.empty() || !block_.runs.back().externalName.empty()) block_.runs.emplace_back();
            block_.runs.back().text += L' ';
        }
        pendingSpace_ = false;
        if (InExternal()) block_.runs.emplace_back();
    }

    void Flush() {
        const bool hasExternal = InExternal() || [this] {
            for (const auto& run : block_.runs) {
                if (!run.externalName.empty()) return true;
            }
            return false;
        }();
        if (!block_.runs.empty()) {
            std::wstring& last = block_.runs.back().text;
            while (!last.empty() && last.back() == L' ') last.pop_back();
        }
        if (HasText() || hasExternal) {
            if (link_) {
                block_.kind = BlockKind::Link;
                block_.href = *link_;
                block_.target = linkTarget_;
            } else {
                block_.kind = headingDepth_ > 0 ? BlockKind::Heading : BlockKind::Text;
            }
            page_.blocks.push_back(std::move(block_));
        }
        block_ = Block();
        pendingSpace_ = false;
        externalTag_.clear();
        externalName_.clear();
    }

    void ApplyBodyStyle(std::wstring_view style) {
        size_t start = 0;
        while (start < style.size()) {
            size_t end = style.find(L';', start);
            if (end == std::wstring_view::npos) end = style.size();
            const std::wstring_view declaration = style.substr(start, end - start);
            const size_t colon = declaration.find(L':');
            if (colon != std::wstring_view::npos) {
                const std::wstring property = Lower(Trim(declaration.substr(0, colon)));
                const auto colour = ParseColour(declaration.substr(colon + 1));
                if (colour && (property == L"background" || property == L"background-color")) {
                    page_.background = *colour;
                } else if (colour && property == L"color") {
                    page_.text = *colour;
                }
            }
            start = end + 1;
        }
    }

    Page page_;
    Block block_;
    bool pendingSpace_ = false;
    int headingDepth_ = 0;
    std::optional<std::wstring> link_;
    std::wstring linkTarget_;
    size_t form_ = kNoForm;    // the open <form>
    size_t button_ = kNoForm;  // the open <button>, whose text is its face
    // The open data-external element: its tag, and the name its text comes from.
    std::wstring externalTag_;
    std::wstring externalName_;
};

bool IsNameChar(wchar_t c) { return std::iswalnum(c) || c == L'-' || c == L'_' || c == L':'; }

// Reads a start tag's attributes from s[j...]; returns the index after '>'.
size_t ReadAttributes(const std::wstring& s, size_t j, Tag& tag) {
    const size_t n = s.size();
    while (j < n) {
        while (j < n && (IsSpace(s[j]) || s[j] == L'/')) ++j;
        if (j >= n) break;
        if (s[j] == L'>') return j + 1;
        const size_t nameStart = j;
        while (j < n && !IsSpace(s[j]) && s[j] != L'=' && s[j] != L'>' && s[j] != L'/') ++j;
        if (j == nameStart) {
            ++j;
            continue;
        }
        std::wstring name = Lower(std::wstring_view(s).substr(nameStart, j - nameStart));
        while (j < n && IsSpace(s[j])) ++j;
        std::wstring value;
        if (j < n && s[j] == L'=') {
            ++j;
            while (j < n && IsSpace(s[j])) ++j;
            if (j < n && (s[j] == L'"' || s[j] == L'\'')) {
                const wchar_t quote = s[j++];
                size_t close = s.find(quote, j);
                if (close == std::wstring::npos) close = n;
                value = DecodeEntities(std::wstring_view(s).substr(j, close - j));
                j = close < n ? close + 1 : n;
            } else {
                const size_t valueStart = j;
                while (j < n && !IsSpace(s[j]) && s[j] != L'>') ++j;
                value = DecodeEntities(std::wstring_view(s).substr(valueStart, j - valueStart));
            }
        }
        tag.attributes.emplace_back(std::move(name), std::move(value));
    }
    return n;
}

}  // namespace

Page ParseHtml(std::string_view utf8) {
    const std::wstring s = DecodeUtf8(utf8);
    const std::wstring lower = Lower(s);
    const size_t n = s.size();
    PageBuilder builder;
    size_t i = 0;
    while (i < n) {
        if (s[i] == L'<') {
            if (s.compare(i, 4, L"<!--") == 0) {
                const size_t end = s.find(L"-->", i + 4);
                i = end == std::wstring::npos ? n : end + 3;
                continue;
            }
            if (i + 1 < n && (s[i + 1] == L'!' || s[i + 1] == L'?')) {
                const size_t end = s.find(L'>', i);
                i = end == std::wstring::npos ? n : end + 1;
                continue;
            }
            const bool endTag = i + 1 < n && s[i + 1] == L'/';
            size_t j = i + (endTag ? 2 : 1);
            if (j < n && std::iswalpha(s[j])) {
                const size_t nameStart = j;
                while (j < n && IsNameChar(s[j])) ++j;
                Tag tag;
                tag.name = lower.substr(nameStart, j - nameStart);
                if (endTag) {
                    const size_t close = s.find(L'>', j);
                    i = close == std::wstring::npos ? n : close + 1;
                    builder.End(tag.name);
                    continue;
                }
                i = ReadAttributes(s, j, tag);
                builder.Start(tag);
                // Elements whose content is not markup: skip to their end tag.
                if (tag.name == L"title" || tag.name == L"script" || tag.name == L"style" ||
                    tag.name == L"iframe") {
                    size_t close = lower.find(L"</" + tag.name, i);
                    if (close == std::wstring::npos) close = n;
                    if (tag.name == L"title") {
                        builder.Title(DecodeEntities(std::wstring_view(s).substr(i, close - i)));
                    }
                    const size_t gt = s.find(L'>', close);
                    i = gt == std::wstring::npos ? n : gt + 1;
                    builder.End(tag.name);
                }
                continue;
            }
        }
        size_t end = s.find(L'<', i + 1);
        if (end == std::wstring::npos) end = n;
        builder.Text(DecodeEntities(std::wstring_view(s).substr(i, end - i)));
        i = end;
    }
    return builder.Finish();
}

Page ErrorPage(std::wstring_view url, std::wstring_view reason) {
    Page page;
    page.title = L"This page can't be displayed";
    for (const std::wstring_view line : {url, reason}) {
        Block block;
        block.runs.push_back(TextRun{std::wstring(line), L""});
        page.blocks.push_back(std::move(block));
    }
    return page;
}

std::wstring BlockText(const Block& block) {
    std::wstring text;
    for (const auto& run : block.runs) text += run.text;
    return text;
}

}  // namespace standin
