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

// A string of this module's string table, empty when missing.
std::wstring LoadModuleString(UINT id);

// The embedded type library (resource 1), loaded from this module's own
// file so that type information works whether or not it is registered.
HRESULT LoadOwnTypeLib(ITypeLib** out);
HRESULT LoadTypeInfo(REFGUID guid, ITypeInfo** out);

}  // namespace qex::glyphon
