#include "support/gdi_objects.h"

#include <numeric>

namespace test {

int LiveGdiObjects() {
    if (const DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<int>(count);
    const auto byType = LiveGdiObjectsByType();
    return std::accumulate(byType.begin(), byType.end(), 0);
}

std::array<int, OBJ_COLORSPACE + 1> LiveGdiObjectsByType() {
    std::array<int, OBJ_COLORSPACE + 1> live{};
    for (ULONG_PTR slot = 1; slot < 0x10000; ++slot) {
        const DWORD type = ::GetObjectType(reinterpret_cast<HGDIOBJ>(slot));
        if (type && type < live.size()) ++live[type];
    }
    return live;
}

}  // namespace test
