// The module object of Glyphon.ocx: its instance handle, the counts that
// decide DllCanUnloadNow, and the few module resources others need.
#pragma once

#include "core/win/win32.h"
#include <oaidl.h>

#include <string>

namespace qex::glyphon {

HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);  // DllMain, at load
// Full path of Glyphon.ocx as the loader has it.
std::wstring ModulePath();

// Live objects (controls, pages, enumerators) and server locks (LockServer
// and held class factories). The module may unload only when both are 0.
void ModuleAddObject();
void ModuleReleaseObject();
void ModuleLock();
void ModuleUnlock();
bool ModuleCanUnload();

// The IUnknown of a small object with one interface (the enumerators): it
// counts as a live object of the module from creation to its last Release.
template <typename Interface>
class SingleInterfaceObject : public Interface {
public:
    explicit SingleInterfaceObject(REFIID iid) : iid_(iid) { ModuleAddObject(); }
    virtual ~SingleInterfaceObject() { ModuleReleaseObject(); }
    SingleInterfaceObject(const SingleInterfaceObject&) = delete;
    SingleInterfaceObject& operator=(const SingleInterfaceObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, iid_)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

private:
    const IID& iid_;
    LONG refs_ = 1;
};

// A string of this module's string table, empty when missing.
std::wstring LoadModuleString(UINT id);

// The embedded type library (resource 1), loaded from this module's own
// file so that type information works whether or not it is registered.
HRESULT LoadOwnTypeLib(ITypeLib** out);
HRESULT LoadTypeInfo(REFGUID guid, ITypeInfo** out);

}  // namespace qex::glyphon
