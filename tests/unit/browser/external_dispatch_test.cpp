// The script-visible external object: name matching, the one property, and
// reference counting that never frees.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/login_app.h"
#include "browser/external_dispatch.h"
#include "support/win_test.h"
#include "tests/unit/browser/guarded_page.h"

namespace {

constexpr DISPID kValue = 12345;

struct Resolved {
    HRESULT hr;
    std::vector<DISPID> ids;
};

Resolved Resolve(CImpIDispatch& external, std::vector<const wchar_t*> names,
                 LCID lcid = LOCALE_USER_DEFAULT) {
    Resolved out{E_FAIL, std::vector<DISPID>(names.size(), 777)};
    out.hr = external.GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(names.data()),
                                    static_cast<UINT>(names.size()), lcid, out.ids.data());
    return out;
}

TEST(ExternalDispatchNames, FirstThreeCharactersOfXxyyzzMatchCaseSensitively) {
    CImpIDispatch external;
    const struct {
        const wchar_t* name;
        DISPID id;
    } cases[] = {
        {L"xxyyzz", kValue},
        {L"xxy", kValue},
        {L"xxyabc", kValue},
        {L"\xFF58\xFF58\xFF59\xFF59\xFF5A\xFF5A", kValue},  // full-width xxyyzz
        {L"XXYYZZ", DISPID_UNKNOWN},
        {L"xxzz", DISPID_UNKNOWN},
        {L"yxxyyzz", DISPID_UNKNOWN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "name " << std::wstring(c.name).size() << " chars, expecting " << c.id);
        const Resolved r = Resolve(external, {c.name});
        EXPECT_EQ(c.id == kValue ? S_OK : DISP_E_UNKNOWNNAME, r.hr);
        EXPECT_EQ(c.id, r.ids[0]);
    }
}

TEST(ExternalDispatchNames, EveryNameIsResolvedAndOneMissAffectsTheResult) {
    CImpIDispatch external;
    const Resolved mixed = Resolve(external, {L"nosuch", L"xxyyzz"});
    EXPECT_EQ(DISP_E_UNKNOWNNAME, mixed.hr);
    EXPECT_EQ(DISPID_UNKNOWN, mixed.ids[0]);
    EXPECT_EQ(kValue, mixed.ids[1]);

    const Resolved both = Resolve(external, {L"xxyyzz", L"xxyq"});
    EXPECT_EQ(S_OK, both.hr);
    EXPECT_EQ((std::vector<DISPID>{kValue, kValue}), both.ids);

    DISPID untouched = 777;
    EXPECT_EQ(S_OK, external.GetIDsOfNames(IID_NULL, nullptr, 0, LOCALE_USER_DEFAULT, &untouched));
    EXPECT_EQ(777, untouched);
}

TEST(ExternalDispatchNames, ShortNamesNeverMatchAndAreNotReadPastTheirEnd) {
    CImpIDispatch external;
    // Each name's terminator is the last accessible character: a read of three
    // characters from "x" or "" would touch the guard page.
    for (const wchar_t* text : {L"xx", L"x", L""}) {
        GuardedPage page;
        const wchar_t* name = page.PlaceString(text);
        const Resolved r = Resolve(external, {name});
        EXPECT_EQ(DISP_E_UNKNOWNNAME, r.hr);
        EXPECT_EQ(DISPID_UNKNOWN, r.ids[0]);
    }
}

TEST(ExternalDispatchInvoke, PropertyGetOfTheValueGivesWibble) {
    CImpIDispatch external;
    for (const WORD flags : {WORD{DISPATCH_PROPERTYGET}, WORD{DISPATCH_PROPERTYGET | DISPATCH_METHOD}}) {
        VARIANT result;
        ::VariantInit(&result);
        EXPECT_EQ(S_OK, external.Invoke(kValue, IID_NULL, LOCALE_USER_DEFAULT, flags, nullptr, &result,
                                        nullptr, nullptr));
        ASSERT_EQ(VT_BSTR, result.vt);
        EXPECT_STREQ(L"Wibble", result.bstrVal);
        EXPECT_EQ(6u, ::SysStringLen(result.bstrVal));
        ::VariantClear(&result);
    }
}

TEST(ExternalDispatchInvoke, TheOldResultIsOverwrittenNotCleared) {
    CImpIDispatch external;
    // A counted object in the result: clearing it would release it.
    CImpIDispatch held;
    held.AddRef();
    VARIANT result;
    result.vt = VT_DISPATCH;
    result.pdispVal = &held;
    EXPECT_EQ(S_OK, external.Invoke(kValue, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, nullptr, &result,
                                    nullptr, nullptr));
    EXPECT_EQ(1, held.m_cRef);
    ASSERT_EQ(VT_BSTR, result.vt);
    ::VariantClear(&result);
}

TEST(ExternalDispatchInvoke, EverythingElseSucceedsWithoutAResult) {
    CImpIDispatch external;
    GuardedPage page;
    // Never read: it points at the guard.
    auto* params = static_cast<DISPPARAMS*>(page.Guard());
    const struct {
        DISPID id;
        WORD flags;
        bool withResult;
    } cases[] = {
        {kValue, DISPATCH_METHOD, true},
        {kValue, DISPATCH_PROPERTYPUT, true},
        {kValue, DISPATCH_PROPERTYGET, false},
        {1, DISPATCH_PROPERTYGET, true},
        {DISPID_UNKNOWN, DISPATCH_PROPERTYGET, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "id " << c.id << " flags " << c.flags);
        VARIANT result;
        result.vt = VT_I4;
        result.lVal = 42;
        EXCEPINFO excep{};
        excep.scode = 99;
        UINT argErr = 55;
        EXPECT_EQ(S_OK, external.Invoke(c.id, IID_NULL, LOCALE_USER_DEFAULT, c.flags, params,
                                        c.withResult ? &result : nullptr, &excep, &argErr));
        EXPECT_EQ(VT_I4, result.vt);
        EXPECT_EQ(42, result.lVal);
        EXPECT_EQ(99, excep.scode);
        EXPECT_EQ(55u, argErr);
    }
}

TEST(ExternalDispatchUnknown, QueryInterfaceAnswersIUnknownAndIDispatchOnly) {
    CImpIDispatch external;
    for (const IID& iid : {IID_IUnknown, IID_IDispatch}) {
        void* out = reinterpret_cast<void*>(1);
        const LONG before = external.m_cRef;
        EXPECT_EQ(S_OK, external.QueryInterface(iid, &out));
        EXPECT_EQ(static_cast<IDispatch*>(&external), out);
        EXPECT_EQ(before + 1, external.m_cRef);
    }
    for (const IID& iid : {IID_IOleObject, IID_IClassFactory, IID_NULL}) {
        void* out = reinterpret_cast<void*>(1);
        const LONG before = external.m_cRef;
        EXPECT_EQ(E_NOINTERFACE, external.QueryInterface(iid, &out));
        EXPECT_EQ(nullptr, out);
        EXPECT_EQ(before, external.m_cRef);
    }
}

TEST(ExternalDispatchUnknown, CountGoesBelowZeroAndTheObjectStaysUsable) {
    CImpIDispatch external;
    EXPECT_EQ(1u, external.AddRef());
    EXPECT_EQ(2u, external.AddRef());
    EXPECT_EQ(1u, external.Release());
    EXPECT_EQ(0u, external.Release());
    EXPECT_EQ(static_cast<ULONG>(-1), external.Release());
    EXPECT_EQ(-1, external.m_cRef);
    EXPECT_EQ(kValue, Resolve(external, {L"xxyyzz"}).ids[0]);
}

TEST(ExternalDispatchUnknown, TypeInformationIsNotOffered) {
    CImpIDispatch external;
    UINT count = 77;
    EXPECT_EQ(E_NOTIMPL, external.GetTypeInfoCount(&count));
    EXPECT_EQ(77u, count);
    auto* sentinel = reinterpret_cast<ITypeInfo*>(0x1234);
    ITypeInfo* info = sentinel;
    EXPECT_EQ(E_NOTIMPL, external.GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    EXPECT_EQ(sentinel, info);
}

TEST(ExternalDispatchLifetime, APageThatKeptItMayReleaseItAfterTheTeardown) {
    // The whole run of the application, quit from inside its loop.
    IDispatch* kept = nullptr;
    test::RunLater([&] {
        theApp.m_pExternalDispatch->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&kept));
        ::PostQuitMessage(0);
    });
    EXPECT_FALSE(theApp.InitInstance());
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    ASSERT_NE(kept, nullptr);

    DISPID id = 0;
    auto* name = const_cast<LPOLESTR>(L"xxyyzz");
    EXPECT_EQ(S_OK, kept->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(kValue, id);
    EXPECT_EQ(0u, kept->Release());
}

}  // namespace
