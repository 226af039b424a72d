// CGlyphonCtrl: the ActiveX control that shows one Base64 PNG image. It is
// a windowed control: in-place activation creates its own child window in
// the container's window; everything runs on the thread that created it.
#pragma once

#include "core/win/com.h"
#include "core/win/owners.h"
#include "glyphon/events.h"
#include "glyphon/image.h"
#include "glyphon/image_rules.h"

#include <ocidl.h>
#include <oleidl.h>
#include "core/win/win32.h"

#include <string>
#include <vector>

namespace qex::glyphon {

class CGlyphonCtrl final : public IDispatch,
                           public IOleObject,
                           public IOleInPlaceObject,
                           public IOleInPlaceActiveObject,
                           public IOleControl,
                           public IViewObject2,
                           public IPersistStreamInit,
                           public IPersistPropertyBag,
                           public IPersistStorage,
                           public IProvideClassInfo2,
                           public IConnectionPointContainer,
                           public ISpecifyPropertyPages,
                           public IQuickActivate {
public:
    static HRESULT Create(REFIID iid, void** out);

    // The dispatch members of _DGlyphon.
    long GetDisplay() const { return m_Display; }
    void SetDisplay(long value);
    // Errors it reports itself are message boxes and give S_OK; a failure
    // while writing the opened file comes back as an error code.
    HRESULT LookIt(const std::string& png);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch (dispatch.cpp)
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

    // IOleObject (ole_object.cpp)
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR obj) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* mk) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** mk) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                        LPCRECT rect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* pal) override;

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl
    // (in_place.cpp)
    STDMETHODIMP GetWindow(HWND* wnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IViewObject2 (view.cpp)
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                      HDC targetDc, HDC drawDc, LPCRECTL bounds, LPCRECTL wbounds,
                      BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                             HDC targetDc, LOGPALETTE** colours) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, LPSIZEL size) override;

    // IPersist, IPersistStreamInit, IPersistPropertyBag, IPersistStorage
    // (persist.cpp)
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
    STDMETHODIMP InitNew(IStorage* storage) override;
    STDMETHODIMP Load(IStorage* storage) override;
    STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage* storage) override;
    STDMETHODIMP HandsOffStorage() override;

    // IProvideClassInfo2, IConnectionPointContainer, ISpecifyPropertyPages
    // (dispatch.cpp)
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // IQuickActivate (ole_object.cpp)
    STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    STDMETHODIMP SetContentExtent(LPSIZEL size) override;
    STDMETHODIMP GetContentExtent(LPSIZEL size) override;

private:
    CGlyphonCtrl();
    ~CGlyphonCtrl();
    CGlyphonCtrl(const CGlyphonCtrl&) = delete;
    CGlyphonCtrl& operator=(const CGlyphonCtrl&) = delete;

    IUnknown* Identity() { return static_cast<IDispatch*>(this); }

    // S_OK when written, S_FALSE when the file could not be created (the
    // user was told), an error when writing failed.
    HRESULT WriteImageFile(const std::vector<unsigned char>& bytes);
    // Resizes the control to `fit`, centres it in its parent and repaints.
    void PlaceForImage(const PixelSize& fit);
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                         UINT* argErr);
    HRESULT InPlaceActivate(IOleClientSite* site, HWND parentHint, LPCRECT rectHint, bool uiActivate);
    HRESULT CreateControlWindow(HWND parent, const RECT& pos);
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    void OnPaint();
    HRESULT ShowProperties(HWND parent);

    // Size of the control, as the framework keeps it: HIMETRIC extent,
    // seen in screen pixels.
    SIZE GetControlSize() const;
    void SetControlSize(int cx, int cy);
    // Paints the image at (x, y) with the control's size.
    void OnDraw(HDC dc, int x, int y);
    void SetModifiedFlag() { modified_ = true; }

    // The three fields of the control proper.
    std::string m_strPng;
    std::string m_strImageFile;
    long m_Display = 0;

    LONG refs_ = 1;
    GdiplusSession gdiplus_;
    win::ComPtr<ITypeInfo> typeInfo_;
    EventConnectionPoint events_;

    win::ComPtr<IOleClientSite> site_;
    win::ComPtr<IOleInPlaceSite> inPlaceSite_;
    win::ComPtr<IOleAdviseHolder> oleAdvise_;
    win::ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewAdvf_ = 0;

    HWND m_hWnd = nullptr;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    RECT posRect_ = {0, 0, 0, 0};
    SIZEL extent_ = {0, 0};  // HIMETRIC
    bool modified_ = false;
    DWORD versionLoaded_ = 0;
};

}  // namespace qex::glyphon
