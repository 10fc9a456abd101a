// PurgeUrlCache on real WinINet cache entries of the prefix.

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include "cache/clean_cache_dlg.h"
#include "cache_fixtures.h"

namespace {

const std::wstring kPage = L"http://cache-test.example/page.htm";
const std::wstring kImage = L"http://cache-test.example/image.png";
// Cookies live apart from content, under names of this form.
const std::wstring kCookie = L"Cookie:tester@cache-test.example/";
const std::wstring kMixedCookie = L"Cookie:tester@cache-test.example/mixed/";

DWORD EntryType(const std::wstring& url) {
    DWORD size = 0;
    ::GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size);
    std::vector<BYTE> buffer(size);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    return size && ::GetUrlCacheEntryInfoW(url.c_str(), info, &size) ? info->CacheEntryType : 0;
}

class PurgeUrlCache : public testing::Test {
protected:
    void SetUp() override {
        cachetest::EmptyUrlCache();
        ASSERT_EQ(cachetest::CountCacheEntries(), 0u);
    }
    void TearDown() override { cachetest::EmptyUrlCache(); }

    // Two content entries and two cookies, one of which has other bits besides.
    void AddMixedEntries() {
        cachetest::AddCacheEntry(kPage, NORMAL_CACHE_ENTRY);
        cachetest::AddCacheEntry(kImage, NORMAL_CACHE_ENTRY | STICKY_CACHE_ENTRY);
        cachetest::AddCacheEntry(kCookie, COOKIE_CACHE_ENTRY);
        cachetest::AddCacheEntry(kMixedCookie, COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY);
        ASSERT_EQ(EntryType(kMixedCookie), static_cast<DWORD>(COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY));
        ASSERT_EQ(cachetest::CountCacheEntries(), 4u);
    }

    CCleanCacheDlg dialog_;
};

}  // namespace

TEST_F(PurgeUrlCache, CookieModeDeletesEveryEntryWithTheCookieBit) {
    AddMixedEntries();
    EXPECT_TRUE(dialog_.PurgeUrlCache(CCleanCacheDlg::PURGE_COOKIES));
    EXPECT_FALSE(cachetest::HasCacheEntry(kCookie));
    EXPECT_FALSE(cachetest::HasCacheEntry(kMixedCookie));
    EXPECT_TRUE(cachetest::HasCacheEntry(kPage));
    EXPECT_TRUE(cachetest::HasCacheEntry(kImage));
}

TEST_F(PurgeUrlCache, CookieModeDeletesAPersistentCookieAndWalksCookiesOnly) {
    cachetest::AddCacheEntry(kPage, NORMAL_CACHE_ENTRY);
    // Only content to look at: the cookie walk finds nothing.
    EXPECT_FALSE(dialog_.PurgeUrlCache(CCleanCacheDlg::PURGE_COOKIES));

    ASSERT_TRUE(::InternetSetCookieW(L"http://cookie-test.example/", L"session",
                                     L"abc; expires=Fri, 31-Dec-2049 23:59:59 GMT"));
    const auto cookies = [] { return cachetest::ListedCacheUrls(L"Cookie:"); };
    ASSERT_EQ(cookies().size(), 1u);
    ASSERT_NE(cookies()[0].find(L"@cookie-test.example/"), std::wstring::npos) << cookies()[0];
    EXPECT_TRUE(dialog_.PurgeUrlCache(CCleanCacheDlg::PURGE_COOKIES));
    // A fresh walk: this process keeps its cookies in memory too.
    EXPECT_EQ(cookies(), std::vector<std::wstring>{});
    EXPECT_TRUE(cachetest::HasCacheEntry(kPage));
}

TEST_F(PurgeUrlCache, ContentModeDeletesEverythingButCookies) {
    AddMixedEntries();
    EXPECT_TRUE(dialog_.PurgeUrlCache(CCleanCacheDlg::PURGE_CONTENT));
    EXPECT_FALSE(cachetest::HasCacheEntry(kPage));
    EXPECT_FALSE(cachetest::HasCacheEntry(kImage));
    EXPECT_TRUE(cachetest::HasCacheEntry(kCookie));
    EXPECT_TRUE(cachetest::HasCacheEntry(kMixedCookie));
}

TEST_F(PurgeUrlCache, OtherModesWalkTheCacheAndDeleteNothing) {
    AddMixedEntries();
    for (int mode : {2, -1, 0x100000}) {
        EXPECT_TRUE(dialog_.PurgeUrlCache(mode)) << mode;
        EXPECT_EQ(cachetest::CountCacheEntries(), 4u) << mode;
    }
}

TEST_F(PurgeUrlCache, ReportsAnEmptyCache) {
    EXPECT_FALSE(dialog_.PurgeUrlCache(CCleanCacheDlg::PURGE_CONTENT));
    EXPECT_FALSE(dialog_.PurgeUrlCache(CCleanCacheDlg::PURGE_COOKIES));
}

TEST_F(PurgeUrlCache, WalksEveryEntryOfALargeCache) {
    for (int i = 0; i < 300; ++i)
        cachetest::AddCacheEntry(L"http://cache-test.example/item" + std::to_wstring(i) + L"?" +
                                     std::wstring(static_cast<size_t>(i), L'q'),
                                 NORMAL_CACHE_ENTRY);
    ASSERT_EQ(cachetest::CountCacheEntries(), 300u);
    EXPECT_TRUE(dialog_.PurgeUrlCache(CCleanCacheDlg::PURGE_CONTENT));
    EXPECT_EQ(cachetest::CountCacheEntries(), 0u);
}

TEST_F(PurgeUrlCache, StopFlagLooksAtOneEntry) {
    for (int i = 0; i < 10; ++i)
        cachetest::AddCacheEntry(L"http://cache-test.example/stop" + std::to_wstring(i), NORMAL_CACHE_ENTRY);
    dialog_.m_bStop = TRUE;
    EXPECT_TRUE(dialog_.PurgeUrlCache(CCleanCacheDlg::PURGE_CONTENT));
    EXPECT_EQ(cachetest::CountCacheEntries(), 9u);
}
