#pragma once
// Counting the GDI objects a process holds, also where the system will not say.

#include <windows.h>

#include <array>

namespace test {

// GDI objects alive in this process. Wine's GetGuiResources reports 0, so there
// the handle table is walked: a handle without its uniqueness bits names
// whatever object occupies that slot.
int LiveGdiObjects();

// The same walk, by type: element t counts the objects GetObjectType calls t
// (OBJ_PEN to OBJ_COLORSPACE). Only Wine's handle table can be walked so: on
// Windows every count is 0.
std::array<int, OBJ_COLORSPACE + 1> LiveGdiObjectsByType();

}  // namespace test
