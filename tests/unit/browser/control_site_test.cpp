// The control sites without a control: what the custom site adds (the
// document-host UI handler and its answers) and the ambients every site gives.
#include <windows.h>
#include <mshtmhst.h>
#include <mshtmdid.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include "app/login_app.h"
#include "browser/custom_control_site.h"
#include "browser/custom_occ_manager.h"
#include "browser/external_dispatch.h"
#include "framework/com.h"

namespace {

fw::ComPtr<COleControlSite> MakeSite(COccManager& manager) {
    return fw::ComPtr<COleControlSite>::Retain(manager.CreateSite(nullptr));
}

template <class I>
fw::ComPtr<I> Query(IUnknown* from, REFIID iid = __uuidof(I)) {
    fw::ComPtr<I> out;
    from->QueryInterface(iid, out.put_void());
    return out;
}

fw::ComPtr<IUnknown> Identity(IUnknown* from) { return Query<IUnknown>(from, IID_IUnknown); }

class DocHostUIHandlerTest : public testing::Test {
protected:
    void SetUp() override {
        site_ = MakeSite(manager_);
        handler_ = Query<IDocHostUIHandler>(site_->GetUnknown());
        ASSERT_TRUE(handler_);
    }

    CCustomOccManager manager_;
    fw::ComPtr<COleControlSite> site_;
    fw::ComPtr<IDocHostUIHandler> handler_;
};

TEST_F(DocHostUIHandlerTest, EveryInterfaceOfTheSiteLeadsToTheHandlerAndBack) {
    const fw::ComPtr<IUnknown> identity = Identity(site_->GetUnknown());
    for (const IID& via : {IID_IOleClientSite, IID_IOleInPlaceSite, IID_IOleWindow, IID_IOleControlSite,
                           IID_IDispatch}) {
        const auto part = Query<IUnknown>(site_->GetUnknown(), via);
        ASSERT_TRUE(part);
        const auto handler = Query<IDocHostUIHandler>(part.get());
        EXPECT_EQ(handler_.get(), handler.get());
    }
    // The handler shares the site's identity and its interfaces.
    EXPECT_EQ(identity.get(), Identity(handler_.get()).get());
    const auto clientSite = Query<IOleClientSite>(handler_.get());
    EXPECT_EQ(Query<IOleClientSite>(site_->GetUnknown()).get(), clientSite.get());
}

TEST_F(DocHostUIHandlerTest, TheHandlerCountsOnTheSite) {
    const ULONG siteCount = site_->AddRef();
    EXPECT_EQ(siteCount + 1, handler_->AddRef());
    EXPECT_EQ(siteCount + 2, site_->AddRef());
    EXPECT_EQ(siteCount + 1, handler_->Release());
    EXPECT_EQ(siteCount, site_->Release());
    site_->Release();
}

TEST_F(DocHostUIHandlerTest, HostInfoAsksForNoBorderAndNoScrollBars) {
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof(info);
    info.dwFlags = 0xFFFF0000;
    info.dwDoubleClick = 3;
    auto* css = reinterpret_cast<OLECHAR*>(0x1000);
    auto* ns = reinterpret_cast<OLECHAR*>(0x2000);
    info.pchHostCss = css;
    info.pchHostNS = ns;
    EXPECT_EQ(S_OK, handler_->GetHostInfo(&info));
    EXPECT_EQ(12u, info.dwFlags);
    EXPECT_EQ(static_cast<DWORD>(DOCHOSTUIDBLCLK_DEFAULT), info.dwDoubleClick);
    EXPECT_EQ(sizeof(info), info.cbSize);
    EXPECT_EQ(css, info.pchHostCss);
    EXPECT_EQ(ns, info.pchHostNS);
}

TEST_F(DocHostUIHandlerTest, UiRequestsAreAcceptedAndTheRestDeclined) {
    POINT point{5, 5};
    MSG msg{};
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_F5;
    RECT border{0, 0, 10, 10};
    EXPECT_EQ(S_OK, handler_->ShowContextMenu(CONTEXT_MENU_DEFAULT, &point, nullptr, nullptr));
    EXPECT_EQ(S_OK, handler_->ShowUI(DOCHOSTUITYPE_BROWSE, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, handler_->HideUI());
    EXPECT_EQ(S_OK, handler_->UpdateUI());
    EXPECT_EQ(E_NOTIMPL, handler_->EnableModeless(TRUE));
    EXPECT_EQ(E_NOTIMPL, handler_->OnDocWindowActivate(TRUE));
    EXPECT_EQ(E_NOTIMPL, handler_->OnFrameWindowActivate(FALSE));
    EXPECT_EQ(E_NOTIMPL, handler_->ResizeBorder(&border, nullptr, TRUE));
    EXPECT_EQ(S_FALSE, handler_->TranslateAccelerator(&msg, nullptr, 0));
}

TEST_F(DocHostUIHandlerTest, DeclinedRequestsLeaveTheirOutputsAlone) {
    auto* keySentinel = reinterpret_cast<LPOLESTR>(0x1000);
    LPOLESTR key = keySentinel;
    EXPECT_EQ(E_NOTIMPL, handler_->GetOptionKeyPath(&key, 0));
    EXPECT_EQ(keySentinel, key);

    auto* dropSentinel = reinterpret_cast<IDropTarget*>(0x2000);
    IDropTarget* drop = dropSentinel;
    EXPECT_EQ(E_NOTIMPL, handler_->GetDropTarget(nullptr, &drop));
    EXPECT_EQ(dropSentinel, drop);

    wchar_t url[] = L"http://127.0.0.1/vornak";
    auto* urlSentinel = reinterpret_cast<LPWSTR>(0x3000);
    LPWSTR translated = urlSentinel;
    EXPECT_EQ(E_NOTIMPL, handler_->TranslateUrl(0, url, &translated));
    EXPECT_EQ(urlSentinel, translated);

    auto* dataSentinel = reinterpret_cast<IDataObject*>(0x4000);
    IDataObject* data = dataSentinel;
    EXPECT_EQ(E_NOTIMPL, handler_->FilterDataObject(nullptr, &data));
    EXPECT_EQ(dataSentinel, data);
}

TEST_F(DocHostUIHandlerTest, ExternalIsTheApplicationsObjectWithAReferenceAdded) {
    CImpIDispatch external;
    CImpIDispatch* const previous = theApp.m_pExternalDispatch;
    theApp.m_pExternalDispatch = &external;
    IDispatch* got = nullptr;
    EXPECT_EQ(S_OK, handler_->GetExternal(&got));
    EXPECT_EQ(static_cast<IDispatch*>(&external), got);
    EXPECT_EQ(1, external.m_cRef);
    EXPECT_EQ(S_OK, handler_->GetExternal(&got));
    EXPECT_EQ(2, external.m_cRef);
    theApp.m_pExternalDispatch = previous;
}

TEST(ControlSite, TheFrameworkSiteHasNoUiHandler) {
    COccManager manager;
    const auto site = MakeSite(manager);
    ASSERT_TRUE(site);
    EXPECT_FALSE(Query<IDocHostUIHandler>(site->GetUnknown()));
    for (const IID& iid : {IID_IOleClientSite, IID_IOleInPlaceSite, IID_IOleWindow, IID_IOleControlSite,
                           IID_IDispatch}) {
        EXPECT_TRUE(Query<IUnknown>(site->GetUnknown(), iid));
    }
}

TEST(ControlSite, AmbientsSayUserModeAndLeaveTheRestToTheControl) {
    CCustomOccManager manager;
    const auto site = MakeSite(manager);
    const auto ambients = Query<IDispatch>(site->GetUnknown());
    ASSERT_TRUE(ambients);
    DISPPARAMS none{};
    VARIANT value;
    ::VariantInit(&value);
    EXPECT_EQ(S_OK, ambients->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                                     DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr));
    EXPECT_EQ(VT_BOOL, value.vt);
    EXPECT_EQ(VARIANT_TRUE, value.boolVal);

    for (const DISPID absent : {DISPID_AMBIENT_DLCONTROL, DISPID_AMBIENT_USERAGENT, DISPID_AMBIENT_BACKCOLOR}) {
        VARIANT other;
        ::VariantInit(&other);
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, ambients->Invoke(absent, IID_NULL, LOCALE_USER_DEFAULT,
                                                          DISPATCH_PROPERTYGET, &none, &other, nullptr, nullptr));
        EXPECT_EQ(VT_EMPTY, other.vt);
    }
}

}  // namespace
