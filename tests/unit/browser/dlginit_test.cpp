// Persisted control state from dialog-initialisation resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/app.h"
#include "framework/occ_dlginit.h"
#include "res/resource.h"
#include "tests/unit/browser/guarded_page.h"

namespace {

class DlgInitWriter {
public:
    DlgInitWriter& Entry(WORD id, WORD message, const std::vector<BYTE>& data) {
        return Header(id, message, static_cast<DWORD>(data.size())).Bytes(data);
    }
    DlgInitWriter& Header(WORD id, WORD message, DWORD length) {
        Put(id);
        Put(message);
        Put(length);
        return *this;
    }
    DlgInitWriter& Bytes(const std::vector<BYTE>& data) {
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    DlgInitWriter& End() {
        Put(WORD{0});
        return *this;
    }
    std::vector<BYTE> bytes;

private:
    template <class T>
    void Put(T value) {
        const auto* p = reinterpret_cast<const BYTE*>(&value);
        bytes.insert(bytes.end(), p, p + sizeof(T));
    }
};

const std::vector<BYTE> kState = {1, 2, 3, 4, 5, 6, 7, 8, 9};

std::optional<std::vector<BYTE>> Find(const std::vector<BYTE>& bytes, UINT id) {
    return fw::FindControlState(bytes.data(), bytes.size(), id);
}

TEST(DlgInit, TheStreamEntryOfTheControlIsFoundAmongOthers) {
    const std::vector<BYTE> bytes = DlgInitWriter()
                                        .Entry(1001, CB_ADDSTRING, {'a', 0})
                                        .Entry(1000, CB_ADDSTRING, {'b', 0})
                                        .Entry(1000, fw::WM_OCC_LOADFROMSTREAM, kState)
                                        .Entry(1002, fw::WM_OCC_LOADFROMSTREAM, {0xEE})
                                        .End()
                                        .bytes;
    EXPECT_EQ(kState, Find(bytes, 1000));
    EXPECT_EQ(std::vector<BYTE>{0xEE}, Find(bytes, 1002));
    EXPECT_FALSE(Find(bytes, 1001));
    EXPECT_FALSE(Find(bytes, 1003));
}

TEST(DlgInit, ListEndsAtTheZeroIdentifierAndEmptyStateIsState) {
    const std::vector<BYTE> bytes = DlgInitWriter()
                                        .Entry(1000, fw::WM_OCC_LOADFROMSTREAM, {})
                                        .End()
                                        .Entry(1001, fw::WM_OCC_LOADFROMSTREAM, kState)
                                        .bytes;
    EXPECT_EQ(std::vector<BYTE>{}, Find(bytes, 1000));
    EXPECT_FALSE(Find(bytes, 1001));
    EXPECT_FALSE(fw::FindControlState(nullptr, 0, 1000));
}

TEST(DlgInit, StateCutShortOrRunningPastTheEndIsNotRead) {
    const std::vector<BYTE> whole = DlgInitWriter().Entry(1000, fw::WM_OCC_LOADFROMSTREAM, kState).bytes;
    // Every cut: inside the header, inside the data, or missing the final byte.
    for (std::size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE(testing::Message() << size << " bytes");
        GuardedPage page;
        const BYTE* cut = page.PlaceAtEnd(whole.data(), size);
        EXPECT_FALSE(fw::FindControlState(cut, size, 1000));
    }
    GuardedPage page;
    const BYTE* exact = page.PlaceAtEnd(whole.data(), whole.size());
    EXPECT_EQ(kState, fw::FindControlState(exact, whole.size(), 1000));

    const std::vector<BYTE> overlong =
        DlgInitWriter().Header(1000, fw::WM_OCC_LOADFROMSTREAM, 0xFFFFFFF0).Bytes(kState).bytes;
    const BYTE* placed = page.PlaceAtEnd(overlong.data(), overlong.size());
    EXPECT_FALSE(fw::FindControlState(placed, overlong.size(), 1000));
}

TEST(DlgInit, AnEntryBeforeABrokenOneIsStillUsed) {
    const std::vector<BYTE> bytes = DlgInitWriter()
                                        .Entry(1000, fw::WM_OCC_LOADFROMSTREAM, kState)
                                        .Header(1001, fw::WM_OCC_LOADFROMSTREAM, 400)
                                        .Bytes({1, 2})
                                        .bytes;
    EXPECT_EQ(kState, Find(bytes, 1000));
    EXPECT_FALSE(Find(bytes, 1001));
}

std::vector<BYTE> Resource(UINT id) {
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(fw::RT_DLGINIT_TYPE));
    if (!found) return {};
    const auto* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
    return std::vector<BYTE>(data, data + ::SizeofResource(module, found));
}

template <class T>
T At(const std::vector<BYTE>& bytes, std::size_t offset) {
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

TEST(DlgInit, BrowserStateOfTheProductDialogs) {
    const BYTE largeIcons[] = {0xE0, 0xD0, 0x57, 0x00, 0x73, 0x35, 0xCF, 0x11,
                               0xAE, 0x69, 0x08, 0x00, 0x2B, 0x2E, 0x12, 0x62};
    const BYTE shellLink[] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                              0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    const struct {
        UINT id;
        DWORD width, height, at48;
    } cases[] = {{IDD_GAME, 17515, 8255, 10}, {IDD_LOGIN_PANEL, 17224, 12277, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "dialog " << c.id);
        const std::vector<BYTE> resource = Resource(c.id);
        ASSERT_EQ(170u, resource.size());
        const auto state = Find(resource, IDC_BROWSER);
        ASSERT_TRUE(state);
        const std::vector<BYTE>& s = *state;
        ASSERT_EQ(160u, s.size());
        EXPECT_EQ(std::vector<BYTE>(resource.begin() + 8, resource.begin() + 168), s);
        EXPECT_EQ(76u, At<DWORD>(s, 0x04));
        EXPECT_EQ(c.width, At<DWORD>(s, 0x08));
        EXPECT_EQ(c.height, At<DWORD>(s, 0x0C));
        EXPECT_EQ(76u, At<DWORD>(s, 0x28));
        EXPECT_EQ(1u, At<DWORD>(s, 0x34));
        EXPECT_EQ(0, std::memcmp(s.data() + 0x38, largeIcons, sizeof(largeIcons)));
        EXPECT_EQ(c.at48, At<DWORD>(s, 0x48));
        EXPECT_EQ(76u, At<DWORD>(s, 0x50));
        EXPECT_EQ(0, std::memcmp(s.data() + 0x54, shellLink, sizeof(shellLink)));
        EXPECT_EQ(0x80u, At<DWORD>(s, 0x64));
        EXPECT_EQ(1u, At<DWORD>(s, 0x8C));
        EXPECT_EQ(0u, At<DWORD>(s, 0x9C));
    }
}

}  // namespace
