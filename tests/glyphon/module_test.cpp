// The module: self-registration, class factories, unload counting and the
// resources containers and installers read.
#include "glyphon/glyphon_ids.h"
#include "tests/glyphon/test_support.h"

#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>

namespace qex::glyphon {
namespace {

using test::LoadOcx;

class Module : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        OleInitialize(nullptr);
        module_ = LoadOcx();
        ASSERT_NE(module_, nullptr);
    }
    // The prefix keeps a registered control, as an installed client has it;
    // other tests of the tree may host it.
    static void TearDownTestSuite() {
        EXPECT_EQ(Register(), S_OK);
        OleUninitialize();
    }

    template <typename F>
    static F Entry(const char* name) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }
    static HRESULT Register() { return Entry<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer")(); }
    static HRESULT Unregister() { return Entry<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer")(); }
    static HRESULT CanUnload() { return Entry<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow")(); }
    static HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
        return Entry<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(clsid, iid, out);
    }

    static std::string ReadValue(const std::string& key, const char* name = nullptr) {
        char value[1024] = {};
        LONG size = sizeof(value);
        HKEY k = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "<missing>";
        DWORD type = 0;
        DWORD bytes = static_cast<DWORD>(size);
        const LONG rc = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
        RegCloseKey(k);
        return rc == ERROR_SUCCESS ? std::string(value) : "<no value>";
    }
    static bool KeyExists(const std::string& key) {
        HKEY k = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
        RegCloseKey(k);
        return true;
    }
    static std::string ModulePathA() {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(module_, path, MAX_PATH);
        return path;
    }

    static HMODULE module_;
};

HMODULE Module::module_ = nullptr;

const std::string kClsKey = std::string("CLSID\\") + kClsidGlyphonText;
const std::string kPageKey = std::string("CLSID\\") + kClsidPropPageText;

TEST_F(Module, ExportsTheFourEntriesByOrdinal) {
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"};
    for (int ordinal = 1; ordinal <= 4; ++ordinal) {
        FARPROC byOrdinal = GetProcAddress(module_, MAKEINTRESOURCEA(ordinal));
        EXPECT_NE(byOrdinal, nullptr) << ordinal;
        EXPECT_EQ(byOrdinal, GetProcAddress(module_, names[ordinal - 1])) << names[ordinal - 1];
    }
}

TEST_F(Module, RegistersAsAnApartmentThreadedInsertableControl) {
    ASSERT_EQ(Register(), S_OK);
    ASSERT_EQ(Register(), S_OK);  // twice is fine and changes nothing

    CLSID clsid = {};
    ASSERT_EQ(CLSIDFromProgID(L"GLYPHON.GlyphonCtrl.1", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kClsidGlyphon));
    ASSERT_EQ(CLSIDFromProgID(L"GLYPHON.GlyphonPropPage.1", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kClsidGlyphonPropPage));

    EXPECT_EQ(ReadValue(kClsKey), "Glyphon Control");
    EXPECT_EQ(ReadValue(kClsKey + "\\ProgID"), "GLYPHON.GlyphonCtrl.1");
    EXPECT_EQ(lstrcmpiA(ReadValue(kClsKey + "\\InprocServer32").c_str(), ModulePathA().c_str()), 0);
    EXPECT_EQ(ReadValue(kClsKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ReadValue(kClsKey + "\\MiscStatus"), "0");
    EXPECT_EQ(ReadValue(kClsKey + "\\MiscStatus\\1"), "131473");
    EXPECT_EQ(ReadValue(kClsKey + "\\TypeLib"), kLibidText);
    EXPECT_EQ(ReadValue(kClsKey + "\\Version"), "1.0");
    EXPECT_EQ(ReadValue(kClsKey + "\\ToolboxBitmap32"), ModulePathA() + ", 1");
    EXPECT_TRUE(KeyExists(kClsKey + "\\Control"));
    EXPECT_TRUE(KeyExists(kClsKey + "\\Insertable"));
    EXPECT_TRUE(KeyExists("GLYPHON.GlyphonCtrl.1\\Insertable"));
    EXPECT_EQ(ReadValue(kPageKey), "Glyphon Property Page");
    EXPECT_EQ(ReadValue(kPageKey + "\\InprocServer32", "ThreadingModel"), "Apartment");

    DWORD misc = 0;
    EXPECT_EQ(OleRegGetMiscStatus(kClsidGlyphon, DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 0x20191u);

    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadRegTypeLib(kLibidGlyphon, 1, 0, 0, &lib), S_OK);
    lib->Release();

    // Registered, COM finds and creates the control by its class id.
    IDispatch* control = nullptr;
    ASSERT_EQ(CoCreateInstance(kClsidGlyphon, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&control)), S_OK);
    control->Release();
}

TEST_F(Module, UnregisteringRemovesClassesProgIdsAndTypeLibrary) {
    ASSERT_EQ(Register(), S_OK);
    ASSERT_EQ(Unregister(), S_OK);
    CLSID clsid = {};
    EXPECT_NE(CLSIDFromProgID(L"GLYPHON.GlyphonCtrl.1", &clsid), S_OK);
    EXPECT_NE(CLSIDFromProgID(L"GLYPHON.GlyphonPropPage.1", &clsid), S_OK);
    EXPECT_FALSE(KeyExists(kClsKey));
    EXPECT_FALSE(KeyExists(kPageKey));
    EXPECT_FALSE(KeyExists("GLYPHON.GlyphonCtrl.1"));
    ITypeLib* lib = nullptr;
    EXPECT_NE(LoadRegTypeLib(kLibidGlyphon, 1, 0, 0, &lib), S_OK);
    if (lib) lib->Release();
    IUnknown* control = nullptr;
    EXPECT_EQ(CoCreateInstance(kClsidGlyphon, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&control)), REGDB_E_CLASSNOTREG);

    // Nothing left to unregister: the type library step reports it first.
    EXPECT_EQ(Unregister(), SELFREG_E_TYPELIB);
}

DWORD RunAndWait(const std::wstring& commandLine) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = commandLine;
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 9999;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 9998;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

TEST_F(Module, InstallersRegisterItWithRegsvr32) {
    const std::wstring quoted = L"\"" + test::OcxPath() + L"\"";
    ASSERT_EQ(RunAndWait(L"regsvr32.exe /s " + quoted), 0u);
    CLSID clsid = {};
    EXPECT_EQ(CLSIDFromProgID(L"GLYPHON.GlyphonCtrl.1", &clsid), S_OK);
    ASSERT_EQ(RunAndWait(L"regsvr32.exe /s /u " + quoted), 0u);
    EXPECT_NE(CLSIDFromProgID(L"GLYPHON.GlyphonCtrl.1", &clsid), S_OK);
}

TEST_F(Module, FactoriesServeBothClassesAndKeepTheModuleWhileHeld) {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(GetClassObject(kLibidGlyphon, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(CanUnload(), S_OK);

    ASSERT_EQ(GetClassObject(kClsidGlyphon, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(CanUnload(), S_FALSE);  // a held factory pins the module
    IUnknown* control = nullptr;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown,
                                      reinterpret_cast<void**>(&control)), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(&control)), S_OK);
    factory->Release();
    EXPECT_EQ(CanUnload(), S_FALSE);  // the control is alive
    control->Release();
    EXPECT_EQ(CanUnload(), S_OK);

    ASSERT_EQ(GetClassObject(kClsidGlyphonPropPage, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(CanUnload(), S_FALSE);  // locked
    ASSERT_EQ(GetClassObject(kClsidGlyphonPropPage, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IPropertyPage* page = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(CanUnload(), S_FALSE);
    page->Release();
    EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(Module, PropertyPageShowsItsEmptyPageUnderItsCaption) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(GetClassObject(kClsidGlyphonPropPage, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IPropertyPage* page = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    factory->Release();

    PROPPAGEINFO info = {};
    info.cb = sizeof(info);
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L"\x5e38\x89c4");  // 常规
    EXPECT_GT(info.size.cx, info.size.cy);
    EXPECT_GT(info.size.cy, 0);
    CoTaskMemFree(info.pszTitle);

    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 500, 200, nullptr, nullptr, nullptr, nullptr);
    const RECT rc = {0, 0, info.size.cx, info.size.cy};
    ASSERT_EQ(page->Activate(parent, &rc, TRUE), S_OK);
    HWND child = GetWindow(parent, GW_CHILD);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(page->Show(SW_SHOW), S_OK);
    EXPECT_TRUE(IsWindowVisible(child) || !IsWindowVisible(parent));
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_FALSE(IsWindow(child));
    page->Release();
    DestroyWindow(parent);
}

TEST_F(Module, CarriesTheResourcesOfASelfRegisteringControl) {
    EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(1), "TYPELIB"), nullptr);
    EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(2) /* RT_BITMAP */), nullptr);
    EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(200), MAKEINTRESOURCEA(5) /* RT_DIALOG */), nullptr);
    char text[64] = {};
    ASSERT_GT(LoadStringA(module_, 1, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "Glyphon Control");
    ASSERT_GT(LoadStringA(module_, 2, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "Glyphon Property Page");
    ASSERT_GT(LoadStringA(module_, 200, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "\xb3\xa3\xb9\xe6");  // 常规 in code page 936

    char path[MAX_PATH] = {};
    GetModuleFileNameA(module_, path, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, &block[0]));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    void* value = nullptr;
    EXPECT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\080403a8\\OLESelfRegister", &value, &len));
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\080403a8\\OriginalFilename", &value, &len));
    EXPECT_STREQ(static_cast<const char*>(value), "Glyphon.ocx");
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &len));
    EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0804);
    EXPECT_EQ(static_cast<const WORD*>(value)[1], 936);
}

TEST_F(Module, TypeLibraryDescribesControlDispatchAndEvents) {
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadTypeLibEx(test::OcxPath().c_str(), REGKIND_NONE, &lib), S_OK);
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&libAttr), S_OK);
    EXPECT_TRUE(IsEqualGUID(libAttr->guid, kLibidGlyphon));
    EXPECT_EQ(libAttr->wMajorVerNum, 1);
    EXPECT_EQ(libAttr->wMinorVerNum, 0);
    EXPECT_TRUE(libAttr->wLibFlags & LIBFLAG_FCONTROL);
    lib->ReleaseTLibAttr(libAttr);

    BSTR name = nullptr, doc = nullptr, help = nullptr;
    ASSERT_EQ(lib->GetDocumentation(-1, &name, &doc, nullptr, &help), S_OK);
    EXPECT_STREQ(name, L"GlyphonLib");
    EXPECT_STREQ(doc, L"Glyphon ActiveX \x63a7\x4ef6\x6a21\x5757");  // 控件模块
    EXPECT_STREQ(help, L"Glyphon.hlp");
    SysFreeString(name);
    SysFreeString(doc);
    SysFreeString(help);

    ITypeInfo* info = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(kClsidGlyphon, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCONTROL);
    ASSERT_EQ(attr->cImplTypes, 2);
    bool sawDefault = false, sawSource = false;
    for (UINT i = 0; i < 2; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        ITypeInfo* impl = nullptr;
        TYPEATTR* implAttr = nullptr;
        ASSERT_EQ(info->GetImplTypeFlags(i, &flags), S_OK);
        ASSERT_EQ(info->GetRefTypeOfImplType(i, &ref), S_OK);
        ASSERT_EQ(info->GetRefTypeInfo(ref, &impl), S_OK);
        ASSERT_EQ(impl->GetTypeAttr(&implAttr), S_OK);
        EXPECT_EQ(implAttr->typekind, TKIND_DISPATCH);
        if (flags == IMPLTYPEFLAG_FDEFAULT) sawDefault = IsEqualGUID(implAttr->guid, kDiidDGlyphon);
        if (flags == (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) sawSource = IsEqualGUID(implAttr->guid, kDiidDGlyphonEvents);
        impl->ReleaseTypeAttr(implAttr);
        impl->Release();
    }
    EXPECT_TRUE(sawDefault);
    EXPECT_TRUE(sawSource);
    info->ReleaseTypeAttr(attr);
    info->Release();

    // _DGlyphon as tools read it: Display is a property (a variable of the
    // dispatch interface, read and write, long), LookIt the one method.
    ASSERT_EQ(lib->GetTypeInfoOfGuid(kDiidDGlyphon, &info), S_OK);
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    ASSERT_EQ(attr->cVars, 1);
    VARDESC* var = nullptr;
    ASSERT_EQ(info->GetVarDesc(0, &var), S_OK);
    EXPECT_EQ(var->memid, kDispidDisplay);
    EXPECT_EQ(var->varkind, VAR_DISPATCH);
    EXPECT_EQ(var->elemdescVar.tdesc.vt, VT_I4);
    EXPECT_FALSE(var->wVarFlags & VARFLAG_FREADONLY);
    BSTR varName = nullptr;
    ASSERT_EQ(info->GetDocumentation(var->memid, &varName, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(varName, L"Display");
    SysFreeString(varName);
    info->ReleaseVarDesc(var);
    // IDispatch's own members come first in a dispatch interface's list.
    bool sawLookIt = false, sawDisplayAccessor = false;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
        if (func->memid == kDispidLookIt) {
            sawLookIt = func->invkind == INVOKE_FUNC && func->cParams == 1 &&
                        func->lprgelemdescParam[0].tdesc.vt == VT_BSTR;
        }
        if (func->memid == kDispidDisplay) sawDisplayAccessor = true;
        info->ReleaseFuncDesc(func);
    }
    EXPECT_TRUE(sawLookIt);
    EXPECT_FALSE(sawDisplayAccessor);
    info->ReleaseTypeAttr(attr);
    info->Release();

    ASSERT_EQ(lib->GetTypeInfoOfGuid(kDiidDGlyphonEvents, &info), S_OK);
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cFuncs, 0);
    EXPECT_EQ(attr->cVars, 0);
    info->ReleaseTypeAttr(attr);
    info->Release();
    lib->Release();
}

}  // namespace
}  // namespace qex::glyphon
