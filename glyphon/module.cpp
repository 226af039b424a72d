#include "glyphon/module.h"

#include "core/win/com.h"
#include "core/win/owners.h"

namespace qex::glyphon {
namespace {

// The module object: what the module knows about itself, one instance.
struct CGlyphonApp {
    HINSTANCE m_hInstance = nullptr;
    LONG m_nObjects = 0;  // live objects
    LONG m_nLocks = 0;    // LockServer and held factories
};

CGlyphonApp theApp;

}  // namespace

void SetModuleInstance(HINSTANCE instance) { theApp.m_hInstance = instance; }

HINSTANCE ModuleInstance() { return theApp.m_hInstance; }

std::wstring ModulePath() {
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD n = GetModuleFileNameW(theApp.m_hInstance, path, static_cast<DWORD>(sizeof(path) / sizeof(path[0])));
    return std::wstring(path, n);
}

void ModuleAddObject() { InterlockedIncrement(&theApp.m_nObjects); }
void ModuleReleaseObject() { InterlockedDecrement(&theApp.m_nObjects); }
void ModuleLock() { InterlockedIncrement(&theApp.m_nLocks); }
void ModuleUnlock() { InterlockedDecrement(&theApp.m_nLocks); }
bool ModuleCanUnload() {
    return InterlockedCompareExchange(&theApp.m_nObjects, 0, 0) == 0 &&
           InterlockedCompareExchange(&theApp.m_nLocks, 0, 0) == 0;
}

std::wstring LoadModuleString(UINT id) {
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadStringW hands out a pointer into the
    // resource itself, so no length limit applies.
    const int n = LoadStringW(theApp.m_hInstance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 && text ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

HRESULT LoadOwnTypeLib(ITypeLib** out) {
    return LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, out);
}

HRESULT LoadTypeInfo(REFGUID guid, ITypeInfo** out) {
    win::ComPtr<ITypeLib> lib;
    HRESULT hr = LoadOwnTypeLib(lib.Put());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(guid, out);
}

}  // namespace qex::glyphon

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        qex::glyphon::SetModuleInstance(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
