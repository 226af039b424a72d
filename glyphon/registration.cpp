#include "glyphon/registration.h"

#include "core/win/com.h"
#include "core/win/owners.h"
#include "glyphon/glyphon_ids.h"
#include "glyphon/module.h"
#include "glyphon/resource.h"

#include <string>

namespace qex::glyphon {
namespace {

std::wstring Widen(const char* ascii) {
    std::wstring w;
    for (; *ascii; ++ascii) w.push_back(static_cast<wchar_t>(*ascii));
    return w;
}

// Creates HKCR\<path> and sets its value `name` (nullptr: the default value).
bool SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    win::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        key.Put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          bytes) == ERROR_SUCCESS;
}

bool SetDefault(const std::wstring& path, const std::wstring& value) {
    return SetValue(path, nullptr, value);
}

// Removes HKCR\<path> with everything below it; a key that is already gone
// counts as removed, so unregistering twice leaves the same clean state.
bool DeleteTree(const std::wstring& path) {
    const LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return false;
    const LONG rc2 = RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
    return rc2 == ERROR_SUCCESS || rc2 == ERROR_FILE_NOT_FOUND;
}

bool RegisterInproc(const std::wstring& clsidKey) {
    const std::wstring server = clsidKey + L"\\InprocServer32";
    return SetDefault(server, ModulePath()) && SetValue(server, L"ThreadingModel", L"Apartment");
}

bool RegisterProgId(const std::wstring& progId, const std::wstring& typeName,
                    const std::wstring& clsid, bool insertable) {
    return SetDefault(progId, typeName) && SetDefault(progId + L"\\CLSID", clsid) &&
           (!insertable || SetDefault(progId + L"\\Insertable", L""));
}

}  // namespace

bool RegisterControlClass() {
    const std::wstring clsid = Widen(kClsidGlyphonText);
    const std::wstring key = L"CLSID\\" + clsid;
    const std::wstring progId = Widen(kProgIdCtrl);
    const std::wstring typeName = LoadModuleString(IDS_GLYPHON_TYPENAME);
    const std::wstring misc = std::to_wstring(kMiscStatus);
    const std::wstring version =
        std::to_wstring(kLibVersionMajor) + L"." + std::to_wstring(kLibVersionMinor);
    return RegisterProgId(progId, typeName, clsid, true) &&
           SetDefault(key, typeName) &&
           SetDefault(key + L"\\ProgID", progId) &&
           RegisterInproc(key) &&
           SetDefault(key + L"\\ToolboxBitmap32",
                      ModulePath() + L", " + std::to_wstring(IDB_GLYPHON_TOOLBOX)) &&
           SetDefault(key + L"\\Control", L"") &&
           SetDefault(key + L"\\Insertable", L"") &&
           SetDefault(key + L"\\MiscStatus", L"0") &&
           SetDefault(key + L"\\MiscStatus\\1", misc) &&
           SetDefault(key + L"\\TypeLib", Widen(kLibidText)) &&
           SetDefault(key + L"\\Version", version);
}

bool UnregisterControlClass() {
    const bool classGone = DeleteTree(L"CLSID\\" + Widen(kClsidGlyphonText));
    const bool progIdGone = DeleteTree(Widen(kProgIdCtrl));
    return classGone && progIdGone;
}

bool RegisterPropPageClass() {
    const std::wstring clsid = Widen(kClsidPropPageText);
    const std::wstring key = L"CLSID\\" + clsid;
    const std::wstring progId = Widen(kProgIdPropPage);
    const std::wstring typeName = LoadModuleString(IDS_PROPPAGE_TYPENAME);
    return SetDefault(key, typeName) && RegisterInproc(key) &&
           SetDefault(key + L"\\ProgID", progId) &&
           RegisterProgId(progId, typeName, clsid, false);
}

bool UnregisterPropPageClass() {
    const bool classGone = DeleteTree(L"CLSID\\" + Widen(kClsidPropPageText));
    const bool progIdGone = DeleteTree(Widen(kProgIdPropPage));
    return classGone && progIdGone;
}

}  // namespace qex::glyphon
