#pragma once
// A dialog of the tests that hosts IDC_BROWSER in m_browser and records the
// events its table lets through.

#include <windows.h>
#include <exdispid.h>

#include <string>
#include <vector>

#include "browser/custom_occ_manager.h"
#include "browser/variant_string.h"
#include "browser/web_browser.h"
#include "framework/dialog.h"
#include "res/resource.h"

enum class EventTable { All, NavigateCompleteOnly };

struct EventCall {
    DISPID event;
    std::wstring url;
    VARTYPE urlType;
    bool hasDispatch;
    bool hasCancel;
};

class BrowserDialog : public CDialogEx {
public:
    BrowserDialog(UINT templateId, EventTable table, bool bindBrowser = true)
        : CDialogEx(templateId, nullptr), m_table(table), m_bBind(bindBrowser) {}

    CWebBrowser2 m_browser;
    std::vector<EventCall> m_calls;
    // BeforeNavigate2 cancels addresses containing this, when set.
    std::wstring m_cancelContaining;
    // "ok" and "cancel", as the dialog's keys produced them.
    std::vector<std::string> m_commands;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        if (m_bBind) DDX_Control(pDX, IDC_BROWSER, m_browser);
    }
    void OnOK() override { m_commands.push_back("ok"); }
    void OnCancel() override { m_commands.push_back("cancel"); }

    const fw::EventSinkMap* GetEventSinkMap() const override {
        static const fw::EventSinkEntry all[] = {
            fw::OnEvent<&BrowserDialog::OnDocumentComplete>(IDC_BROWSER, DISPID_DOCUMENTCOMPLETE),
            fw::OnEvent<&BrowserDialog::OnNavigateComplete2>(IDC_BROWSER, DISPID_NAVIGATECOMPLETE2),
            fw::OnEvent<&BrowserDialog::OnBeforeNavigate2>(IDC_BROWSER, DISPID_BEFORENAVIGATE2),
        };
        static const fw::EventSinkEntry navigateComplete[] = {
            fw::OnEvent<&BrowserDialog::OnNavigateComplete2>(IDC_BROWSER, DISPID_NAVIGATECOMPLETE2),
        };
        static const fw::EventSinkMap allMap(CDialogEx::GetEventSinkMap(), all);
        static const fw::EventSinkMap navigateCompleteMap(CDialogEx::GetEventSinkMap(), navigateComplete);
        return m_table == EventTable::All ? &allMap : &navigateCompleteMap;
    }

    void Record(DISPID event, IDispatch* pDisp, VARIANT* URL, BOOL* Cancel) {
        m_calls.push_back({event, VariantString(URL), URL ? URL->vt : VARTYPE(VT_ILLEGAL), pDisp != nullptr,
                           Cancel != nullptr});
    }
    void OnBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*, BOOL* Cancel) {
        Record(DISPID_BEFORENAVIGATE2, pDisp, URL, Cancel);
        if (Cancel && !m_cancelContaining.empty() &&
            VariantString(URL).find(m_cancelContaining) != std::wstring::npos) {
            *Cancel = TRUE;
        }
    }
    void OnNavigateComplete2(IDispatch* pDisp, VARIANT* URL) {
        Record(DISPID_NAVIGATECOMPLETE2, pDisp, URL, nullptr);
    }
    void OnDocumentComplete(IDispatch* pDisp, VARIANT* URL) { Record(DISPID_DOCUMENTCOMPLETE, pDisp, URL, nullptr); }

private:
    EventTable m_table;
    bool m_bBind;
};

// Containment as the application turns it on, with its own manager.
inline void EnableBrowserContainment() {
    static CCustomOccManager manager;
    AfxEnableControlContainer(&manager);
}
