#include "glyphon/prop_page.h"

#include "core/win/com.h"
#include "glyphon/module.h"
#include "glyphon/resource.h"

#include <new>

namespace qex::glyphon {
namespace {

INT_PTR CALLBACK PageProc(HWND, UINT msg, WPARAM, LPARAM) {
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

LPOLESTR CoTaskString(const std::wstring& s) {
    const size_t bytes = (s.size() + 1) * sizeof(wchar_t);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (out) memcpy(out, s.c_str(), bytes);
    return out;
}

// The page's size in pixels, taken from its template by creating it hidden.
SIZE PageSize() {
    SIZE size = {0, 0};
    HWND probe = CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_PROPPAGE_GLYPHON),
                                    GetDesktopWindow(), PageProc, 0);
    if (probe) {
        RECT rc;
        GetWindowRect(probe, &rc);
        size.cx = rc.right - rc.left;
        size.cy = rc.bottom - rc.top;
        DestroyWindow(probe);
    }
    return size;
}

}  // namespace

HRESULT CGlyphonPropPage::Create(REFIID iid, void** out) {
    const auto page = win::ComPtr<CGlyphonPropPage>::Adopt(new (std::nothrow) CGlyphonPropPage());
    if (!page) return E_OUTOFMEMORY;
    return page->QueryInterface(iid, out);
}

CGlyphonPropPage::CGlyphonPropPage() { ModuleAddObject(); }

CGlyphonPropPage::~CGlyphonPropPage() {
    if (page_) DestroyWindow(page_);
    ModuleReleaseObject();
}

STDMETHODIMP CGlyphonPropPage::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPage)) {
        *out = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CGlyphonPropPage::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) CGlyphonPropPage::Release() {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP CGlyphonPropPage::SetPageSite(IPropertyPageSite* site) {
    site_ = win::ComPtr<IPropertyPageSite>(site);
    return S_OK;
}

STDMETHODIMP CGlyphonPropPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (page_) return E_UNEXPECTED;
    page_ = CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_PROPPAGE_GLYPHON), parent, PageProc, 0);
    if (!page_) return HRESULT_FROM_WIN32(GetLastError());
    if (rect) Move(rect);
    return S_OK;
}

STDMETHODIMP CGlyphonPropPage::Deactivate() {
    if (page_) DestroyWindow(page_);
    page_ = nullptr;
    return S_OK;
}

STDMETHODIMP CGlyphonPropPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    info->cb = sizeof(*info);
    info->pszTitle = nullptr;
    win::ComGuard([&] {
        info->pszTitle = CoTaskString(LoadModuleString(IDS_PROPPAGE_CAPTION));
        return S_OK;
    });
    info->size = PageSize();
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return info->pszTitle ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CGlyphonPropPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count > 0 && !objects) return E_POINTER;
    objects_.clear();
    return win::ComGuard([&] {
        for (ULONG i = 0; i < count; ++i) objects_.emplace_back(objects[i]);
        return S_OK;
    });
}

STDMETHODIMP CGlyphonPropPage::Show(UINT cmdShow) {
    if (!page_) return E_UNEXPECTED;
    ShowWindow(page_, static_cast<int>(cmdShow));
    return S_OK;
}

STDMETHODIMP CGlyphonPropPage::Move(LPCRECT rect) {
    if (!rect) return E_POINTER;
    if (!page_) return E_UNEXPECTED;
    MoveWindow(page_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

// Nothing on the page can change.
STDMETHODIMP CGlyphonPropPage::IsPageDirty() { return S_FALSE; }
STDMETHODIMP CGlyphonPropPage::Apply() { return S_OK; }
STDMETHODIMP CGlyphonPropPage::Help(LPCOLESTR) { return E_NOTIMPL; }

STDMETHODIMP CGlyphonPropPage::TranslateAccelerator(MSG* msg) {
    if (!msg) return E_POINTER;
    return page_ && IsDialogMessageW(page_, msg) ? S_OK : S_FALSE;
}

}  // namespace qex::glyphon
