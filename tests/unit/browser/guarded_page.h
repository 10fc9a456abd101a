#pragma once
// Memory followed by an inaccessible page: bytes placed at the end of the
// accessible page prove that code reading them stays within them, since a
// read past their end faults.

#include <windows.h>
#include <cstring>

class GuardedPage {
public:
    GuardedPage() {
        SYSTEM_INFO info;
        ::GetSystemInfo(&info);
        size_ = info.dwPageSize;
        base_ = static_cast<BYTE*>(::VirtualAlloc(nullptr, 2 * size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD previous = 0;
        ::VirtualProtect(base_ + size_, size_, PAGE_NOACCESS, &previous);
    }
    GuardedPage(const GuardedPage&) = delete;
    GuardedPage& operator=(const GuardedPage&) = delete;
    ~GuardedPage() { ::VirtualFree(base_, 0, MEM_RELEASE); }

    // Copies `size` bytes so that they end exactly where the guard begins.
    const BYTE* PlaceAtEnd(const void* data, std::size_t size) {
        BYTE* at = base_ + size_ - size;
        std::memcpy(at, data, size);
        return at;
    }
    // A wide string, with its terminator, ending at the guard.
    const wchar_t* PlaceString(const wchar_t* text) {
        return reinterpret_cast<const wchar_t*>(PlaceAtEnd(text, (std::wcslen(text) + 1) * sizeof(wchar_t)));
    }
    // The first inaccessible byte.
    void* Guard() const { return base_ + size_; }

private:
    BYTE* base_ = nullptr;
    std::size_t size_ = 0;
};
