// The keyboard as the real control takes it: every key that does more than
// type a character (Tab, Enter, Space on a link or button, F5, Escape for a
// field that takes it, and a field's Backspace, Delete, arrows, Home, End and
// Ctrl+A/C/V/X) is acted on only in IOleInPlaceActiveObject::TranslateAccelerator,
// and only while the control is UI-active: a host that does not route its keys
// there gets none of them. A key the page does not take goes back to the
// host's IOleControlSite::TranslateAccelerator. Printable characters arrive
// as WM_CHAR from the host's loop.

#include <mshtmhst.h>
#include <ocidl.h>

#include <algorithm>

#include "tools/standin-browser/browser_control.h"
#include "tools/standin-browser/event_log.h"
#include "tools/standin-browser/guarded.h"
#include "tools/standin-browser/url.h"

namespace standin {

namespace {

// KEYMODIFIERS of ocidl.idl, which MinGW's headers lack.
constexpr DWORD kKeyModShift = 1;
constexpr DWORD kKeyModControl = 2;
constexpr DWORD kKeyModAlt = 4;

// CGID_MSHTML, the command group keys are offered to the host's UI handler in;
// MinGW's uuid library does not define it.
constexpr GUID kCgidMshtml = {0xde4ba900, 0x59ca, 0x11cf, {0x95, 0x92, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

bool Down(int key) { return ::GetKeyState(key) < 0; }

// Keys that become a field's characters through the host's TranslateMessage.
bool IsCharacterKey(WPARAM key) {
    return key == VK_SPACE || (key >= '0' && key <= 'Z') || (key >= VK_NUMPAD0 && key <= VK_DIVIDE) ||
           (key >= VK_OEM_1 && key <= VK_OEM_102) || key == VK_PROCESSKEY || key == VK_PACKET;
}

std::wstring ClipboardText(HWND owner) {
    std::wstring text;
    if (!::OpenClipboard(owner)) return text;
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = chars;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    // A field holds one line.
    text.erase(std::remove_if(text.begin(), text.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }),
               text.end());
    return text;
}

}  // namespace

STDMETHODIMP BrowserControl::TranslateAccelerator(LPMSG msg) {
    return Guarded([&] {
        if (!msg || !view_ || !uiActive_ || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) {
            return S_FALSE;
        }
        const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
        if (uiHandler_) {
            const auto handler = fw::ComPtr<IDocHostUIHandler>::Retain(uiHandler_.get());
            if (handler->TranslateAccelerator(msg, &kCgidMshtml, 0) == S_OK) return S_OK;
        }
        const bool alt = msg->message == WM_SYSKEYDOWN || Down(VK_MENU);
        const bool ctrl = Down(VK_CONTROL);
        FormField* field = FocusedField();
        switch (msg->wParam) {
        case VK_TAB:
            if (!alt && !ctrl && MoveFocus(Down(VK_SHIFT))) return S_OK;
            break;
        case VK_RETURN:
            if (!alt && ActivateFocused()) return S_OK;
            break;
        case VK_SPACE:
            // A space types into a field; it presses a focused button or link.
            if (!alt && !field && ActivateFocused()) return S_OK;
            break;
        case VK_F5:
            if (!alt && !ctrl) {
                LogLine(instance_, "key").Str("key", L"F5").Write();
                Refresh();
                return S_OK;
            }
            break;
        case VK_ESCAPE:
            if (!alt && field && field->takesEscape) {
                LogLine(instance_, "key").Str("key", L"Escape").Str("name", field->name).Write();
                return S_OK;
            }
            break;
        default:
            if (!alt && field && EditField(*field, msg->wParam, ctrl, Down(VK_SHIFT))) return S_OK;
            break;
        }
        // Characters a field types are the loop's to translate into WM_CHAR.
        if (!alt && !ctrl && field && IsCharacterKey(msg->wParam)) return S_FALSE;
        return HandToSite(msg);
    });
}

HRESULT BrowserControl::HandToSite(MSG* msg) {
    fw::ComPtr<IOleControlSite> site;
    if (!clientSite_ || FAILED(clientSite_.As(site))) return S_FALSE;
    const DWORD modifiers = (Down(VK_SHIFT) ? kKeyModShift : 0) | (Down(VK_CONTROL) ? kKeyModControl : 0) |
                            (Down(VK_MENU) ? kKeyModAlt : 0);
    const HRESULT hr = site->TranslateAccelerator(msg, modifiers);
    LogLine(instance_, "key_to_site").Int("key", static_cast<long long>(msg->wParam)).Int("hr", hr).Write();
    return hr == S_OK ? S_OK : S_FALSE;
}

std::vector<size_t> BrowserControl::FocusableItems() const {
    std::vector<size_t> items;
    for (size_t i = 0; i < layout_.items.size(); ++i) {
        if (Focusable(layout_.items[i])) items.push_back(i);
    }
    return items;
}

const LayoutItem* BrowserControl::FocusedItem() const {
    if (focus_ < 0) return nullptr;
    const auto items = FocusableItems();
    return static_cast<size_t>(focus_) < items.size() ? &layout_.items[items[static_cast<size_t>(focus_)]] : nullptr;
}

FormField* BrowserControl::FocusedField() {
    const LayoutItem* item = FocusedItem();
    if (!item || item->kind != ItemKind::Field || item->field >= page_.fields.size()) return nullptr;
    FormField& field = page_.fields[item->field];
    return field.kind == FieldKind::Submit ? nullptr : &field;
}

void BrowserControl::SetFocusOrdinal(int ordinal) {
    if (ordinal == focus_) return;
    focus_ = ordinal;
    LogLine line(instance_, "focus");
    if (const LayoutItem* item = FocusedItem()) {
        if (item->kind == ItemKind::Field) {
            const FormField& field = page_.fields[item->field];
            line.Str("element", field.kind == FieldKind::Submit ? L"button" : L"field").Str("name", field.name);
        } else {
            line.Str("element", L"link").Str("href", item->href);
        }
    } else {
        line.Str("element", L"none");
    }
    line.Write();
    if (view_) ::InvalidateRect(view_.get(), nullptr, FALSE);
}

// False when the move leaves the page: the host's tab stops come next.
bool BrowserControl::MoveFocus(bool back) {
    const int count = static_cast<int>(FocusableItems().size());
    const int next = focus_ < 0 ? (back ? count - 1 : 0) : focus_ + (back ? -1 : 1);
    if (next < 0 || next >= count) {
        SetFocusOrdinal(-1);
        return false;
    }
    SetFocusOrdinal(next);
    return true;
}

bool BrowserControl::ActivateFocused() {
    const LayoutItem* item = FocusedItem();
    if (!item) return false;
    if (item->kind == ItemKind::Link) {
        FollowLink(*item, Down(VK_SHIFT));
        return true;
    }
    const FormField& field = page_.fields[item->field];
    if (field.form == kNoForm) return true;
    // Enter in a field submits as its form's first button would.
    const FormField* submitter = &field;
    if (field.kind != FieldKind::Submit) {
        const auto& fields = page_.fields;
        const auto button = std::find_if(fields.begin(), fields.end(), [&](const FormField& f) {
            return f.form == field.form && f.kind == FieldKind::Submit;
        });
        submitter = button == fields.end() ? nullptr : &*button;
    }
    Submit(field.form, submitter);
    return true;
}

void BrowserControl::Submit(size_t form, const FormField* submitter) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (const FormField& field : page_.fields) {
        if (field.form != form || field.name.empty()) continue;
        if (field.kind == FieldKind::Submit && &field != submitter) continue;
        pairs.emplace_back(field.name, field.value);
    }
    const Form& target = page_.forms[form];
    std::wstring action = target.action.empty() ? url_ : ResolveUrl(url_, target.action);
    const std::string body = FormUrlEncode(pairs);
    LogLine(instance_, "submit")
        .Str("method", target.post ? L"POST" : L"GET")
        .Str("url", action)
        .Str("body", std::wstring(body.begin(), body.end()))
        .Write();
    if (target.post) {
        StartNavigation(Request{action, body, L""}, kTopLevel);
        return;
    }
    action.resize(std::min(action.find_first_of(L"?#"), action.size()));
    StartNavigation(Request{action + L"?" + std::wstring(body.begin(), body.end()), std::nullopt, L""}, kTopLevel);
}

// A field's editing keys; false for a key that edits nothing.
bool BrowserControl::EditField(FormField& field, WPARAM key, bool ctrl, bool shift) {
    const size_t size = field.value.size();
    const auto moveTo = [&](size_t caret) {
        field.caret = caret;
        if (!shift) field.anchor = caret;
    };
    switch (key) {
    case VK_LEFT: moveTo(field.caret > 0 ? field.caret - 1 : 0); break;
    case VK_RIGHT: moveTo(std::min(field.caret + 1, size)); break;
    case VK_HOME:
    case VK_UP: moveTo(0); break;
    case VK_END:
    case VK_DOWN: moveTo(size); break;
    case VK_BACK:
        if (field.caret == field.anchor && field.caret > 0) field.anchor = field.caret - 1;
        ReplaceSelection(field, L"");
        break;
    case VK_DELETE:
        if (field.caret == field.anchor && field.caret < size) field.anchor = field.caret + 1;
        ReplaceSelection(field, L"");
        break;
    case 'A':
        if (!ctrl) return false;
        field.anchor = 0;
        field.caret = size;
        break;
    case 'C':
    case 'X':
        if (!ctrl) return false;
        CopySelection(field);
        if (key == 'X' && field.kind != FieldKind::Password) ReplaceSelection(field, L"");
        break;
    case 'V':
        if (!ctrl) return false;
        ReplaceSelection(field, ClipboardText(view_.get()));
        break;
    default:
        return false;
    }
    ::InvalidateRect(view_.get(), nullptr, FALSE);
    return true;
}

// Only printable characters: Backspace's WM_CHAR edits nothing, as Backspace is
// TranslateAccelerator's.
void BrowserControl::OnChar(wchar_t c) {
    FormField* field = FocusedField();
    if (!field || !uiActive_ || c < 0x20 || c == 0x7f) return;
    ReplaceSelection(*field, std::wstring_view(&c, 1));
}

void BrowserControl::ReplaceSelection(FormField& field, std::wstring_view text) {
    const size_t from = std::min({field.caret, field.anchor, field.value.size()});
    const size_t to = std::min(std::max(field.caret, field.anchor), field.value.size());
    if (from == to && text.empty()) return;
    field.value.replace(from, to - from, text);
    field.caret = field.anchor = from + text.size();
    LogEdit(field);
    if (view_) ::InvalidateRect(view_.get(), nullptr, FALSE);
}

// A password's text never leaves its field.
void BrowserControl::CopySelection(const FormField& field) const {
    const size_t from = std::min(field.caret, field.anchor);
    const size_t to = std::min(std::max(field.caret, field.anchor), field.value.size());
    if (field.kind == FieldKind::Password || from >= to || !::OpenClipboard(view_.get())) return;
    ::EmptyClipboard();
    const size_t bytes = (to - from + 1) * sizeof(wchar_t);
    fw::GlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (auto* chars = memory ? static_cast<wchar_t*>(::GlobalLock(memory.get())) : nullptr) {
        std::copy(field.value.begin() + static_cast<std::ptrdiff_t>(from),
                  field.value.begin() + static_cast<std::ptrdiff_t>(to), chars);
        chars[to - from] = L'\0';
        ::GlobalUnlock(memory.get());
        // The clipboard owns the memory once it takes it.
        if (::SetClipboardData(CF_UNICODETEXT, memory.get())) static_cast<void>(memory.release());
    }
    ::CloseClipboard();
}

void BrowserControl::LogEdit(const FormField& field) {
    LogLine(instance_, "edit")
        .Str("name", field.name)
        .Str("value", field.kind == FieldKind::Password ? std::wstring(field.value.size(), L'*') : field.value)
        .Int("length", static_cast<long long>(field.value.size()))
        .Write();
}

}  // namespace standin
