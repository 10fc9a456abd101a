#include "support/gdi_objects.h"

#include <windows.h>

namespace test {

int LiveGdiObjects() {
    if (const DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<int>(count);
    int live = 0;
    for (ULONG_PTR slot = 1; slot < 0x10000; ++slot)
        if (::GetObjectType(reinterpret_cast<HGDIOBJ>(slot))) ++live;
    return live;
}

}  // namespace test
