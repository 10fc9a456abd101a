#pragma once
// COM ownership and the one piece of IUnknown plumbing that every COM object
// of ours is built on.

#include <windows.h>
#include <objbase.h>
#include <utility>

namespace fw {

// Move-only owner of one interface reference.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* adopt) noexcept : p_(adopt) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.p_, nullptr));
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    // Takes a reference of its own to a pointer somebody else owns.
    static ComPtr Retain(T* p) noexcept {
        if (p) p->AddRef();
        return ComPtr(p);
    }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // Output slot for APIs that return a new reference.
    T** put() noexcept { reset(); return &p_; }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    T* detach() noexcept { return std::exchange(p_, nullptr); }
    void reset(T* p = nullptr) noexcept {
        T* old = std::exchange(p_, p);
        if (old) old->Release();
        // The analyzer takes system calls (CoRegisterClassObject, say) for keeping
        // no reference, and reports the object as leaked when ours is dropped.
        // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
    }

    template <class U>
    HRESULT As(ComPtr<U>& out, REFIID iid = __uuidof(U)) const noexcept {
        if (!p_) { out.reset(); return E_POINTER; }
        return p_->QueryInterface(iid, out.put_void());
    }

private:
    T* p_ = nullptr;
};

// Interface identifier of I; specialise for interfaces whose headers carry no uuid.
template <class I>
struct InterfaceId {
    static const IID& Get() { return __uuidof(I); }
};

// Reference counting and QueryInterface for an object implementing Interfaces...
// Derived may add identifiers through QueryInterfaceExtra (base interfaces such as
// IOleWindow, or a dispinterface served by an IDispatch) and may change what the
// final Release does through OnFinalRelease. Objects are used on one thread only.
template <class Derived, class... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(static_cast<First*>(this));
        } else if (!(... || Match<Interfaces>(riid, ppv)) &&
                   !static_cast<Derived*>(this)->QueryInterfaceExtra(riid, ppv)) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_cRef); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG count = --m_cRef;
        if (count == 0) static_cast<Derived*>(this)->OnFinalRelease();
        return static_cast<ULONG>(count);
    }

    IUnknown* GetUnknown() { return static_cast<First*>(this); }

protected:
    virtual ~ComObject() = default;
    // Hooks for Derived; found by name, so they need not be virtual.
    bool QueryInterfaceExtra(REFIID, void**) { return false; }
    void OnFinalRelease() { delete static_cast<Derived*>(this); }

    LONG m_cRef = 0;

private:
    template <class... T> struct Head;
    template <class H, class... T> struct Head<H, T...> { using type = H; };
    using First = typename Head<Interfaces...>::type;

    template <class I>
    bool Match(REFIID riid, void** ppv) {
        if (riid != InterfaceId<I>::Get()) return false;
        *ppv = static_cast<I*>(this);
        return true;
    }
};

// Creates a ComObject-derived object and hands out its first reference.
template <class T, class... Args>
ComPtr<T> MakeComObject(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    object->AddRef();
    return ComPtr<T>(object);
}

}  // namespace fw
