// Decoding "PNG" resources: the holder keeps image and memory together or
// nothing at all; the free loader hands out images its caller owns.
#include <gtest/gtest.h>

#include <memory>

#include "framework/app.h"
#include "support/import_patch.h"
#include "tests/res/test_resource.h"
#include "ui/png.h"

namespace {
constexpr UINT kMissing = 2999;

bool Load(CGdiPlusPngResource& holder, UINT id) {
    return holder.Load(MAKEINTRESOURCEW(id), AfxGetResourceHandle());
}

void ExpectEmpty(const CGdiPlusPngResource& holder) {
    EXPECT_EQ(holder.m_pImage, nullptr);
    EXPECT_EQ(holder.m_hBuffer, nullptr);
    EXPECT_EQ(holder.Width(), 0u);
    EXPECT_EQ(holder.Height(), 0u);
}
}  // namespace

TEST(PngResource, LoadsTheImageWithItsOwnLockedCopyOfTheBytes) {
    CGdiPlusPngResource holder;
    ASSERT_TRUE(Load(holder, IDP_TEST_SQUARE_40X20));
    EXPECT_EQ(holder.Width(), 40u);
    EXPECT_EQ(holder.Height(), 20u);
    ASSERT_NE(holder.m_hBuffer, nullptr);
    EXPECT_EQ(::GlobalFlags(holder.m_hBuffer) & GMEM_LOCKCOUNT, 1u);
    HRSRC resource = ::FindResourceW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDP_TEST_SQUARE_40X20), L"PNG");
    EXPECT_EQ(::GlobalSize(holder.m_hBuffer), ::SizeofResource(AfxGetResourceHandle(), resource));
}

TEST(PngResource, EveryFailureLeavesTheHolderEmpty) {
    for (UINT id : {kMissing, UINT{IDP_TEST_BROKEN}, UINT{IDP_TEST_EMPTY}}) {
        CGdiPlusPngResource holder;
        EXPECT_FALSE(Load(holder, id)) << id;
        ExpectEmpty(holder);
    }
}

TEST(PngResource, FailedLoadReleasesWhatWasHeldBefore) {
    CGdiPlusPngResource holder;
    ASSERT_TRUE(Load(holder, IDP_TEST_SQUARE_40X20));
    HGLOBAL before = holder.m_hBuffer;
    EXPECT_FALSE(Load(holder, kMissing));
    ExpectEmpty(holder);
    EXPECT_EQ(::GlobalSize(before), 0u);  // freed
}

TEST(PngResource, SecondLoadReplacesTheFirstImageAndMemory) {
    CGdiPlusPngResource holder;
    ASSERT_TRUE(Load(holder, IDP_TEST_SQUARE_40X20));
    HGLOBAL first = holder.m_hBuffer;
    ASSERT_TRUE(Load(holder, IDP_TEST_STRIP_74X104));
    EXPECT_EQ(holder.Width(), 74u);
    EXPECT_EQ(holder.Height(), 104u);
    EXPECT_NE(holder.m_hBuffer, nullptr);
    if (holder.m_hBuffer != first) {
        EXPECT_EQ(::GlobalSize(first), 0u);
    }
}

TEST(LoadPngFromResource, ValidResourceGivesAnImageOfTheHeaderSize) {
    std::unique_ptr<Gdiplus::Image> image(LoadPngFromResource(AfxGetResourceHandle(), IDP_TEST_STRIP_74X104));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetLastStatus(), Gdiplus::Ok);
    EXPECT_EQ(image->GetWidth(), 74u);
    EXPECT_EQ(image->GetHeight(), 104u);
}

TEST(LoadPngFromResource, MissingResourceGivesNull) {
    EXPECT_EQ(LoadPngFromResource(AfxGetResourceHandle(), kMissing), nullptr);
    EXPECT_EQ(LoadPngFromResource(AfxGetResourceHandle(), IDP_TEST_EMPTY), nullptr);
}

TEST(LoadPngFromResource, UndecodableResourceGivesAnEmptyImage) {
    std::unique_ptr<Gdiplus::Image> image(LoadPngFromResource(AfxGetResourceHandle(), IDP_TEST_BROKEN));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetWidth(), 0u);
    EXPECT_EQ(image->GetHeight(), 0u);
}

TEST(LoadPngFromResource, OnlyTheLowSixteenBitsNameTheResource) {
    std::unique_ptr<Gdiplus::Image> image(
        LoadPngFromResource(AfxGetResourceHandle(), 0x10000u | IDP_TEST_SQUARE_40X20));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetWidth(), 40u);
}

namespace {
void* WINGDIPAPI FailingGdipAlloc(size_t) { return nullptr; }
}  // namespace

TEST(PngImages, NoImageObjectWhenGdiplusCannotAllocateIt) {
    test::ImportPatch failingAlloc("gdiplus.dll", "GdipAlloc", reinterpret_cast<const void*>(&FailingGdipAlloc));
    ASSERT_TRUE(failingAlloc.Patched());
    EXPECT_EQ(LoadPngFromResource(AfxGetResourceHandle(), IDP_TEST_SQUARE_40X20), nullptr);
    CGdiPlusPngResource holder;
    EXPECT_FALSE(Load(holder, IDP_TEST_SQUARE_40X20));
    ExpectEmpty(holder);
}
