// Linked into every unit-test program: after each test, every heap of the
// process is validated, and damage fails the test that did it. Under Wine's
// heap checking (heap-check.sh) freed blocks are filled and held back and block
// tails guarded, so a write after free or past the end of a block shows too.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

class HeapValidation : public testing::EmptyTestEventListener {
    // Listeners hear of a test's end before the result printer does, so the
    // failure is reported as the test's own. Damage stays, so only the first
    // test after which it is found is failed for it.
    void OnTestEnd(const testing::TestInfo&) override {
        if (damaged_) return;
        std::vector<HANDLE> heaps(::GetProcessHeaps(0, nullptr));
        const DWORD count = ::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
        heaps.resize(std::min<size_t>(count, heaps.size()));  // a heap made meanwhile waits for the next test
        for (HANDLE heap : heaps) {
            if (::HeapValidate(heap, 0, nullptr)) continue;
            damaged_ = true;
            ADD_FAILURE() << "heap " << heap << " is damaged after this test";
        }
    }

    bool damaged_ = false;
};

const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new HeapValidation);
    return true;
}();

}  // namespace
