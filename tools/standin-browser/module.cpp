// DLL entry points: the class factory for CLSID_WebBrowser and the registration
// that makes this DLL the class's in-process server in a Wine prefix.

#include <windows.h>
#include <olectl.h>
#include <exdisp.h>

#include <atomic>

#include "framework/com.h"
#include "tools/standin-browser/browser_control.h"
#include "tools/standin-browser/guarded.h"
#include "tools/standin-browser/module.h"

namespace standin {

namespace {

HINSTANCE g_instance = nullptr;
std::atomic<long> g_locks{0};

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}";
constexpr wchar_t kServerKey[] =
    L"Software\\Classes\\CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}\\InprocServer32";

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};
using RegKey = fw::UniqueHandle<RegKeyTraits>;

bool SetString(HKEY key, const wchar_t* name, const wchar_t* value) {
    const DWORD bytes = static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes) ==
           ERROR_SUCCESS;
}

// A static object: its references do not keep the DLL loaded, LockServer does.
class ClassFactory final : public fw::ComObject<ClassFactory, IClassFactory> {
public:
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return Guarded([&] { return fw::MakeComObject<BrowserControl>()->QueryInterface(riid, ppv); });
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            LockModule();
        } else {
            UnlockModule();
        }
        return S_OK;
    }
    void OnFinalRelease() {}
};

ClassFactory g_factory;

}  // namespace

HINSTANCE ModuleInstance() { return g_instance; }
void LockModule() { ++g_locks; }
void UnlockModule() { --g_locks; }

fw::Module RetainModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
    return fw::Module(module);
}

}  // namespace standin

using standin::g_instance;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Unloaded while the process goes on: a later load registers them afresh.
        standin::BrowserControl::UnregisterWindowClasses();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_WebBrowser) return CLASS_E_CLASSNOTAVAILABLE;
    return standin::g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return standin::g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(g_instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
    HKEY created = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, standin::kServerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &created, nullptr) != ERROR_SUCCESS) {
        return SELFREG_E_CLASS;
    }
    const standin::RegKey key(created);
    if (!standin::SetString(key.get(), nullptr, path) ||
        !standin::SetString(key.get(), L"ThreadingModel", L"Apartment")) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

// Removes what DllRegisterServer wrote and nothing else: the class key goes
// only when nothing else is left in it.
STDAPI DllUnregisterServer() {
    const LSTATUS deleted = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, standin::kServerKey);
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) return SELFREG_E_CLASS;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, standin::kClassKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
        return S_OK;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    {
        const standin::RegKey key(opened);
        if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return SELFREG_E_CLASS;
        }
    }
    if (subkeys == 0 && values == 0) ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, standin::kClassKey);
    return S_OK;
}
