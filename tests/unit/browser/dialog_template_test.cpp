// Taking ActiveX controls out of dialog templates: both layouts, the other
// controls kept byte for byte, and no read past a malformed template's end.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "browser/web_browser.h"
#include "framework/app.h"
#include "framework/occ_dialog_template.h"
#include "res/resource.h"
#include "tests/unit/browser/guarded_page.h"

namespace {

const wchar_t kBrowserClass[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
// Well-formed but registered by nobody.
const wchar_t kOtherClass[] = L"{DEADBEEF-0BAD-4BAD-8BAD-00000000B0B0}";
const CLSID kOtherClsid = {0xDEADBEEF, 0x0BAD, 0x4BAD, {0x8B, 0xAD, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xB0}};

struct TestControl {
    std::wstring windowClass;  // empty: the predefined button class, by ordinal
    DWORD style;
    UINT id;
    short x, y, cx, cy;
    std::wstring title;
    std::vector<BYTE> creationData;
};

// A template written field by field, with where each control's bytes lie.
struct Written {
    std::vector<BYTE> bytes;
    std::size_t headerEnd = 0;
    std::size_t countOffset = 0;
    std::vector<std::pair<std::size_t, std::size_t>> items;
};

class Writer {
public:
    template <class T>
    void Put(T value) {
        const auto* p = reinterpret_cast<const BYTE*>(&value);
        bytes.insert(bytes.end(), p, p + sizeof(T));
    }
    void String(const std::wstring& text) {
        for (wchar_t ch : text) Put<WORD>(static_cast<WORD>(ch));
        Put<WORD>(0);
    }
    void Align() {
        while (bytes.size() % 4) bytes.push_back(0);
    }
    std::vector<BYTE> bytes;
};

Written WriteTemplate(bool extended, const std::vector<TestControl>& controls) {
    Writer w;
    Written out;
    const DWORD style = WS_POPUP | WS_CAPTION | DS_SETFONT;
    if (extended) {
        w.Put<WORD>(1);
        w.Put<WORD>(0xFFFF);
        w.Put<DWORD>(0);  // help id
        w.Put<DWORD>(0);  // extended style
        w.Put<DWORD>(style);
    } else {
        w.Put<DWORD>(style);
        w.Put<DWORD>(0);
    }
    out.countOffset = w.bytes.size();
    w.Put<WORD>(static_cast<WORD>(controls.size()));
    const short position[] = {0, 0, 200, 100};  // x, y, cx, cy
    for (const short v : position) w.Put<short>(v);
    w.Put<WORD>(0);  // no menu
    w.Put<WORD>(0);  // default class
    w.String(L"template");
    w.Put<WORD>(9);
    if (extended) {
        w.Put<WORD>(FW_NORMAL);
        w.Put<BYTE>(0);
        w.Put<BYTE>(DEFAULT_CHARSET);
    }
    w.String(L"MS Shell Dlg");
    out.headerEnd = w.bytes.size();
    for (const TestControl& c : controls) {
        w.Align();
        const std::size_t start = w.bytes.size();
        if (extended) {
            w.Put<DWORD>(0);
            w.Put<DWORD>(0);
            w.Put<DWORD>(c.style);
        } else {
            w.Put<DWORD>(c.style);
            w.Put<DWORD>(0);
        }
        for (short v : {c.x, c.y, c.cx, c.cy}) w.Put<short>(v);
        if (extended) {
            w.Put<DWORD>(c.id);
        } else {
            w.Put<WORD>(static_cast<WORD>(c.id));
        }
        if (c.windowClass.empty()) {
            w.Put<WORD>(0xFFFF);
            w.Put<WORD>(0x0080);
        } else {
            w.String(c.windowClass);
        }
        w.String(c.title);
        w.Put<WORD>(static_cast<WORD>(c.creationData.size()));
        w.bytes.insert(w.bytes.end(), c.creationData.begin(), c.creationData.end());
        out.items.emplace_back(start, w.bytes.size());
    }
    out.bytes = std::move(w.bytes);
    return out;
}

// What the split must give: the header, then the kept controls, each at the
// next DWORD boundary, with the count corrected.
std::vector<BYTE> Expected(const Written& t, const std::vector<std::size_t>& kept) {
    std::vector<BYTE> out(t.bytes.begin(), t.bytes.begin() + static_cast<std::ptrdiff_t>(t.headerEnd));
    const WORD count = static_cast<WORD>(kept.size());
    std::memcpy(out.data() + t.countOffset, &count, sizeof(count));
    for (std::size_t i : kept) {
        while (out.size() % 4) out.push_back(0);
        out.insert(out.end(), t.bytes.begin() + static_cast<std::ptrdiff_t>(t.items[i].first),
                   t.bytes.begin() + static_cast<std::ptrdiff_t>(t.items[i].second));
    }
    return out;
}

const std::vector<TestControl> kMixed = {
    {L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 1001, 5, 3, 40, 14, L"OK", {}},
    {kBrowserClass, WS_CHILD | WS_TABSTOP, 1000, 7, 71, 441, 192, L"", {}},
    {L"Static", WS_CHILD | WS_VISIBLE, 1002, 1, 2, 30, 8, L"label", {0x11, 0x22, 0x33}},
    {kOtherClass, WS_CHILD | WS_VISIBLE, 77777, 0, 17, 372, 265, L"", {}},
    {L"Edit", WS_CHILD | WS_VISIBLE | WS_BORDER, 1003, 50, 3, 60, 12, L"text", {0x44, 0x55}},
};

void ExpectControl(const fw::OleControlItem& item, const CLSID& clsid, UINT id, std::size_t index,
                   const RECT& rect, DWORD style) {
    EXPECT_TRUE(::IsEqualCLSID(clsid, item.clsid));
    EXPECT_EQ(id, item.id);
    EXPECT_EQ(index, item.index);
    EXPECT_EQ(rect.left, item.rect.left);
    EXPECT_EQ(rect.top, item.rect.top);
    EXPECT_EQ(rect.right, item.rect.right);
    EXPECT_EQ(rect.bottom, item.rect.bottom);
    EXPECT_EQ(style, item.style);
}

TEST(DialogTemplateSplit, BothLayoutsLoseTheirActiveXControlsAndKeepTheRestByteForByte) {
    for (const bool extended : {true, false}) {
        SCOPED_TRACE(extended ? "DLGTEMPLATEEX" : "DLGTEMPLATE");
        std::vector<TestControl> controls = kMixed;
        if (!extended) controls[3].id = 4444;  // ids are 16 bits in this layout
        const Written t = WriteTemplate(extended, controls);
        fw::SplitDialogTemplate split;
        ASSERT_TRUE(fw::SplitOleControls(t.bytes.data(), t.bytes.size(), &split));
        EXPECT_EQ(Expected(t, {0, 2, 4}), split.dialog);
        ASSERT_EQ(2u, split.controls.size());
        ExpectControl(split.controls[0], CWebBrowser2::kClsid, 1000, 1, RECT{7, 71, 448, 263},
                      WS_CHILD | WS_TABSTOP);
        ExpectControl(split.controls[1], kOtherClsid, controls[3].id, 3, RECT{0, 17, 372, 282},
                      WS_CHILD | WS_VISIBLE);
    }
}

TEST(DialogTemplateSplit, FirstAndLastControlsCanGo) {
    const std::vector<TestControl> controls = {kMixed[1], kMixed[2], kMixed[3]};
    const Written t = WriteTemplate(true, controls);
    fw::SplitDialogTemplate split;
    ASSERT_TRUE(fw::SplitOleControls(t.bytes.data(), t.bytes.size(), &split));
    EXPECT_EQ(Expected(t, {1}), split.dialog);
    ASSERT_EQ(2u, split.controls.size());
    EXPECT_EQ(0u, split.controls[0].index);
    EXPECT_EQ(2u, split.controls[1].index);
}

TEST(DialogTemplateSplit, ClassesThatAreNoClassIdStay) {
    const std::vector<TestControl> controls = {
        kMixed[0],
        {L"{not a class id}", WS_CHILD, 1005, 0, 0, 10, 10, L"", {}},
        {L"Button", WS_CHILD, 1006, 0, 0, 10, 10, L"{8856F961-340A-11D0-A96B-00C04FD705A2}", {}},
    };
    const Written t = WriteTemplate(true, controls);
    fw::SplitDialogTemplate split;
    ASSERT_TRUE(fw::SplitOleControls(t.bytes.data(), t.bytes.size(), &split));
    EXPECT_TRUE(split.controls.empty());
    EXPECT_TRUE(split.dialog.empty());
}

TEST(DialogTemplateSplit, EveryTruncationIsRefusedWithoutReadingPastIt) {
    for (const bool extended : {true, false}) {
        const Written t = WriteTemplate(extended, kMixed);
        for (std::size_t size = 0; size < t.bytes.size(); ++size) {
            SCOPED_TRACE(testing::Message() << (extended ? "extended, " : "classic, ") << size << " bytes");
            GuardedPage page;
            const BYTE* cut = page.PlaceAtEnd(t.bytes.data(), size);
            fw::SplitDialogTemplate split;
            EXPECT_FALSE(fw::SplitOleControls(cut, size, &split));
        }
    }
}

// The product's templates, read from the resources the test program links.
struct TemplateResource {
    const void* data = nullptr;
    DWORD size = 0;
};

TemplateResource LoadTemplate(UINT id) {
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    if (!found) return {};
    return {::LockResource(::LoadResource(module, found)), ::SizeofResource(module, found)};
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::vector<int> ChildIds(HWND dialog) {
    std::vector<int> ids;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ids.push_back(::GetDlgCtrlID(child));
    return ids;
}

TEST(DialogTemplateSplit, ProductTemplatesGiveUpTheirBrowserAndStillMakeADialog) {
    const struct {
        UINT id;
        std::size_t index;
        RECT rect;
        DWORD style;
        std::vector<int> remaining;
    } cases[] = {
        {IDD_GAME, 0, RECT{7, 71, 448, 263}, WS_CHILD | WS_TABSTOP,
         {IDC_LOGO, IDC_CLOSE, IDC_MAXIMIZE, IDC_MINIMIZE, IDC_FULLSCREEN, IDC_BOSS, IDC_REFRESH, IDC_SERVER, IDC_CLEAN,
          IDC_RESTORE}},
        {IDD_LOGIN_PANEL, 2, RECT{0, 17, 372, 282}, WS_CHILD, {IDC_PANEL_CLOSE, IDC_PANEL_MINIMIZE}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "template " << c.id);
        const TemplateResource resource = LoadTemplate(c.id);
        ASSERT_TRUE(resource.data);
        fw::SplitDialogTemplate split;
        ASSERT_TRUE(fw::SplitOleControls(resource.data, resource.size, &split));
        ASSERT_EQ(1u, split.controls.size());
        ExpectControl(split.controls[0], CWebBrowser2::kClsid, IDC_BROWSER, c.index, c.rect, c.style);

        HWND dialog = ::CreateDialogIndirectParamW(AfxGetResourceHandle(),
                                                   reinterpret_cast<const DLGTEMPLATE*>(split.dialog.data()),
                                                   nullptr, &PlainDialogProc, 0);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(c.remaining, ChildIds(dialog));
        ::DestroyWindow(dialog);
    }
}

}  // namespace
