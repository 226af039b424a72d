#include "glyphon/class_factory.h"

#include "glyphon/glyphon_ctrl.h"
#include "glyphon/glyphon_ids.h"
#include "glyphon/module.h"
#include "glyphon/prop_page.h"
#include "glyphon/registration.h"

namespace qex::glyphon {

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() {
    ModuleLock();
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) ClassFactory::Release() {
    const LONG n = InterlockedDecrement(&refs_);
    ModuleUnlock();
    return static_cast<ULONG>(n);
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(iid, out);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
    if (lock) {
        ModuleLock();
    } else {
        ModuleUnlock();
    }
    return S_OK;
}

namespace {

bool UpdateControlRegistry(bool registering) {
    return registering ? RegisterControlClass() : UnregisterControlClass();
}

bool UpdatePropPageRegistry(bool registering) {
    return registering ? RegisterPropPageClass() : UnregisterPropPageClass();
}

// The module's factories, control first, in the order registration walks
// them. Static objects: they live from load to unload.
ClassFactory g_factories[] = {
    ClassFactory(kClsidGlyphon, &CGlyphonCtrl::Create, &UpdateControlRegistry),
    ClassFactory(kClsidGlyphonPropPage, &CGlyphonPropPage::Create, &UpdatePropPageRegistry),
};

}  // namespace

ClassFactory* FindFactory(REFCLSID clsid) {
    for (ClassFactory& factory : g_factories) {
        if (IsEqualCLSID(clsid, factory.Clsid())) return &factory;
    }
    return nullptr;
}

bool UpdateRegistryAll(bool registering) {
    bool ok = true;
    for (const ClassFactory& factory : g_factories) {
        if (!factory.UpdateRegistry(registering)) ok = false;
    }
    return ok;
}

}  // namespace qex::glyphon
