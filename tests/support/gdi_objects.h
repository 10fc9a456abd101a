#pragma once
// Counting the GDI objects a process holds, also where the system will not say.

namespace test {

// GDI objects alive in this process. Wine's GetGuiResources reports 0, so there
// the handle table is walked: a handle without its uniqueness bits names
// whatever object occupies that slot.
int LiveGdiObjects();

}  // namespace test
