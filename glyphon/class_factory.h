// The module's two class factories. They are static objects; a reference
// held on one keeps the module loaded, as does LockServer.
#pragma once

#include "core/win/win32.h"
#include <unknwn.h>

namespace qex::glyphon {

using CreateFn = HRESULT (*)(REFIID iid, void** out);
// Writes (true) or removes (false) the class's registry entries.
using UpdateRegistryFn = bool (*)(bool registering);

class ClassFactory final : public IClassFactory {
public:
    ClassFactory(const CLSID& clsid, CreateFn create, UpdateRegistryFn update)
        : clsid_(clsid), create_(create), update_(update) {}

    const CLSID& Clsid() const { return clsid_; }
    bool UpdateRegistry(bool registering) const { return update_(registering); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    const CLSID& clsid_;
    CreateFn create_;
    UpdateRegistryFn update_;
    LONG refs_ = 0;
};

// The factory for a class id, or nullptr.
ClassFactory* FindFactory(REFCLSID clsid);

// Lets every factory of the module update the registry; false if any
// failed (all are still asked).
bool UpdateRegistryAll(bool registering);

}  // namespace qex::glyphon
