#pragma once
// Move-only owners for kernel, GDI and other Win32 handles.

#include <windows.h>
#include <utility>

namespace fw {

template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle h) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    // The analyzer cannot see that the caller of a COM method holds a reference:
    // it lets a nested Release free the object, then reports reads of its handles.
    Handle get() const noexcept { return h_; }  // NOLINT(clang-analyzer-cplusplus.NewDelete)
    explicit operator bool() const noexcept { return h_ != Traits::Invalid(); }
    Handle release() noexcept { return std::exchange(h_, Traits::Invalid()); }
    void reset(Handle h = Traits::Invalid()) noexcept {
        Handle old = std::exchange(h_, h);
        if (old != Traits::Invalid()) Traits::Close(old);
    }

private:
    Handle h_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::FindClose(h); }
};
struct GlobalTraits {
    using Handle = HGLOBAL;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::GlobalFree(h); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::FreeLibrary(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyMenu(h); }
};
template <class H>
struct GdiObjectTraits {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};

using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using GlobalMemory = UniqueHandle<GlobalTraits>;
using Module = UniqueHandle<ModuleTraits>;
using Menu = UniqueHandle<MenuTraits>;
using Bitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;

// The DC that GetDC/GetWindowDC hand out, given back on destruction.
class WindowDC {
public:
    WindowDC() = default;
    WindowDC(HWND hwnd, HDC hdc) noexcept : hwnd_(hwnd), hdc_(hdc) {}
    static WindowDC Client(HWND hwnd) { return WindowDC(hwnd, ::GetDC(hwnd)); }
    static WindowDC Whole(HWND hwnd) { return WindowDC(hwnd, ::GetWindowDC(hwnd)); }
    WindowDC(WindowDC&& o) noexcept
        : hwnd_(std::exchange(o.hwnd_, nullptr)), hdc_(std::exchange(o.hdc_, nullptr)) {}
    WindowDC& operator=(WindowDC&& o) noexcept {
        if (this != &o) {
            reset();
            hwnd_ = std::exchange(o.hwnd_, nullptr);
            hdc_ = std::exchange(o.hdc_, nullptr);
        }
        return *this;
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() { reset(); }

    HDC get() const noexcept { return hdc_; }
    explicit operator bool() const noexcept { return hdc_ != nullptr; }
    void reset() noexcept {
        if (hdc_) ::ReleaseDC(hwnd_, hdc_);
        hdc_ = nullptr;
        hwnd_ = nullptr;
    }

private:
    HWND hwnd_ = nullptr;
    HDC hdc_ = nullptr;
};

// A memory DC that puts back the bitmap it was created with before it is deleted.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) noexcept : hdc_(::CreateCompatibleDC(compatibleWith)) {}
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    ~MemoryDC() {
        if (!hdc_) return;
        if (original_) ::SelectObject(hdc_, original_);
        ::DeleteDC(hdc_);
    }

    HDC get() const noexcept { return hdc_; }
    explicit operator bool() const noexcept { return hdc_ != nullptr; }
    void SelectBitmap(HBITMAP bitmap) noexcept {
        HGDIOBJ previous = ::SelectObject(hdc_, bitmap);
        if (!original_) original_ = previous;
    }

private:
    HDC hdc_;
    HGDIOBJ original_ = nullptr;
};

}  // namespace fw
