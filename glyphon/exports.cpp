// The four entry points of Glyphon.ocx (exported by ordinal, glyphon.def).
#include "glyphon/class_factory.h"
#include "core/win/com.h"
#include "core/win/owners.h"
#include "glyphon/glyphon_ids.h"
#include "glyphon/module.h"

#include <olectl.h>

using namespace qex::glyphon;
namespace win = qex::win;

STDAPI DllCanUnloadNow() {
    return ModuleCanUnload() ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return win::ComGuard([&]() -> HRESULT {
        ClassFactory* factory = FindFactory(clsid);
        if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
        return factory->QueryInterface(iid, out);
    });
}

// Type library first: a class registration that names a library which is
// not there would be worse than no registration.
STDAPI DllRegisterServer() {
    return win::ComGuard([] {
        win::ComPtr<ITypeLib> lib;
        if (FAILED(LoadTypeLibEx(ModulePath().c_str(), REGKIND_REGISTER, lib.Put()))) {
            return SELFREG_E_TYPELIB;
        }
        return UpdateRegistryAll(true) ? S_OK : SELFREG_E_CLASS;
    });
}

STDAPI DllUnregisterServer() {
    return win::ComGuard([] {
        const SYSKIND sys = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
        if (FAILED(UnRegisterTypeLib(kLibidGlyphon, kLibVersionMajor, kLibVersionMinor, 0, sys))) {
            return SELFREG_E_TYPELIB;
        }
        return UpdateRegistryAll(false) ? S_OK : SELFREG_E_CLASS;
    });
}
