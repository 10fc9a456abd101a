#pragma once
// Replaces a function that the test program imports from a system DLL, for the
// object's lifetime: the way to make a platform call fail that a test cannot
// make fail otherwise. Only calls through the program's own import table (the
// client's code linked into it) are affected, not the DLLs' calls among themselves.

#include <windows.h>

namespace test {

class ImportPatch {
public:
    // `replacement` must have the signature of `function`. Patched() is false
    // when the program does not import it.
    ImportPatch(const char* dll, const char* function, const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Patched() const { return slot_ != nullptr; }

private:
    ULONG_PTR* slot_ = nullptr;
    ULONG_PTR original_ = 0;
};

}  // namespace test
