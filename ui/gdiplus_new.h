#pragma once
// GDI+ wrapper objects made through GDI+'s own allocator, checked before they
// are constructed.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <new>
#include <utility>

// A new T (a GDI+ wrapper such as Gdiplus::Image), or null when GDI+ cannot
// allocate it; `delete` releases it. A plain `new T` would not do: the
// wrappers' operator new may return null without being noexcept, and the
// constructor would then run on that null.
template <class T, class... Args>
T* NewGdiplusObject(Args&&... args) {
    void* memory = T::operator new(sizeof(T));
    if (!memory) return nullptr;
    return ::new (memory) T(std::forward<Args>(args)...);
}
