#include "support/import_patch.h"

#include <cstring>

namespace test {

namespace {

void Write(ULONG_PTR* slot, ULONG_PTR value) {
    DWORD protection = 0;
    ::VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
    *slot = value;
    ::VirtualProtect(slot, sizeof(*slot), protection, &protection);
}

ULONG_PTR* FindSlot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return nullptr;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name; ++entry) {
        if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
        const DWORD names = entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
        auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + names);
        auto* slot = reinterpret_cast<ULONG_PTR*>(base + entry->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) return slot;
        }
    }
    return nullptr;
}

}  // namespace

ImportPatch::ImportPatch(const char* dll, const char* function, const void* replacement)
    : slot_(FindSlot(dll, function)) {
    if (!slot_) return;
    original_ = *slot_;
    Write(slot_, reinterpret_cast<ULONG_PTR>(replacement));
}

ImportPatch::~ImportPatch() {
    if (slot_) Write(slot_, original_);
}

}  // namespace test
