#pragma once
// Dialog-initialisation resources (RT_DLGINIT, type 240, named like their
// dialog): a list of {WORD control id, WORD message, DWORD length, bytes}
// entries closed by a zero control id. Only the persisted state of ActiveX
// controls (WM_OCC_LOADFROMSTREAM) is used.

#include <windows.h>
#include <cstddef>
#include <optional>
#include <vector>

namespace fw {

constexpr WORD RT_DLGINIT_TYPE = 240;
constexpr WORD WM_OCC_LOADFROMSTREAM = 0x0376;

// The stream-state bytes of control `id`, or nothing. Entries are read only as
// far as they lie wholly inside the `size` bytes: a truncated entry, or one
// whose length runs past the end, gives no state for it or anything after it.
std::optional<std::vector<BYTE>> FindControlState(const BYTE* dlgInit, std::size_t size, UINT id);

}  // namespace fw
