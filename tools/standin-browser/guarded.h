#pragma once
// Keeps C++ exceptions (in practice, allocation failures) from crossing a COM
// method or a window procedure.

#include <windows.h>
#include <new>

namespace standin {

template <class F>
HRESULT Guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace standin
