#include "framework/occ_dlginit.h"

#include <cstring>

namespace fw {

std::optional<std::vector<BYTE>> FindControlState(const BYTE* dlgInit, std::size_t size, UINT id) {
    constexpr std::size_t kHeader = 2 * sizeof(WORD) + sizeof(DWORD);
    std::size_t offset = 0;
    while (dlgInit && size - offset >= sizeof(WORD)) {
        WORD control = 0;
        std::memcpy(&control, dlgInit + offset, sizeof(control));
        if (control == 0 || size - offset < kHeader) break;
        WORD message = 0;
        DWORD length = 0;
        std::memcpy(&message, dlgInit + offset + sizeof(WORD), sizeof(message));
        std::memcpy(&length, dlgInit + offset + 2 * sizeof(WORD), sizeof(length));
        offset += kHeader;
        if (length > size - offset) break;
        if (control == LOWORD(id) && message == WM_OCC_LOADFROMSTREAM)
            return std::vector<BYTE>(dlgInit + offset, dlgInit + offset + length);
        offset += length;
    }
    return std::nullopt;
}

}  // namespace fw
