// CGlyphonPropPage: the control's (empty) property page. It is a complete
// IPropertyPage so property frames can show it; there is nothing to edit.
#pragma once

#include "core/win/com.h"
#include "core/win/owners.h"

#include <ocidl.h>
#include <olectl.h>

#include <vector>

namespace qex::glyphon {

class CGlyphonPropPage final : public IPropertyPage {
public:
    static HRESULT Create(REFIID iid, void** out);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT cmdShow) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR helpDir) override;
    STDMETHODIMP TranslateAccelerator(MSG* msg) override;

private:
    CGlyphonPropPage();
    ~CGlyphonPropPage();

    LONG refs_ = 1;
    win::ComPtr<IPropertyPageSite> site_;
    std::vector<win::ComPtr<IUnknown>> objects_;
    HWND page_ = nullptr;
};

}  // namespace qex::glyphon
