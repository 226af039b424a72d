// Persistence. The control has no property worth keeping; what it saves is
// what every control saves: its version (1.0) and its extent, so containers
// that save and reload a page get the same size back.
#include "glyphon/glyphon_ctrl.h"
#include "glyphon/glyphon_ids.h"

namespace qex::glyphon {
namespace {

struct StreamState {
    DWORD version;
    LONG cx;
    LONG cy;
};

const wchar_t kContentsStream[] = L"Contents";

HRESULT ReadLong(IPropertyBag* bag, IErrorLog* log, const wchar_t* name, LONG* value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    HRESULT hr = bag->Read(name, &v, log);
    if (SUCCEEDED(hr)) {
        hr = VariantChangeType(&v, &v, 0, VT_I4);
        if (SUCCEEDED(hr)) *value = V_I4(&v);
    }
    VariantClear(&v);
    return hr;
}

HRESULT WriteLong(IPropertyBag* bag, const wchar_t* name, LONG value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return bag->Write(name, &v);
}

}  // namespace

STDMETHODIMP CGlyphonCtrl::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = kClsidGlyphon;
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::IsDirty() { return modified_ ? S_OK : S_FALSE; }

STDMETHODIMP CGlyphonCtrl::InitNew() {
    versionLoaded_ = kPersistVersion;
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::Load(LPSTREAM stream) {
    if (!stream) return E_POINTER;
    StreamState state = {};
    ULONG read = 0;
    const HRESULT hr = stream->Read(&state, sizeof(state), &read);
    if (FAILED(hr)) return hr;
    if (read != sizeof(state)) return E_FAIL;
    versionLoaded_ = state.version;
    if (state.cx > 0 && state.cy > 0) {
        SIZEL extent = {state.cx, state.cy};
        SetExtent(DVASPECT_CONTENT, &extent);
    }
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::Save(LPSTREAM stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    StreamState state = {kPersistVersion, extent_.cx, extent_.cy};
    ULONG written = 0;
    const HRESULT hr = stream->Write(&state, sizeof(state), &written);
    if (FAILED(hr)) return hr;
    if (written != sizeof(state)) return STG_E_MEDIUMFULL;
    if (clearDirty) modified_ = false;
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = sizeof(StreamState);
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    LONG version = static_cast<LONG>(kPersistVersion);
    ReadLong(bag, log, L"_Version", &version);
    versionLoaded_ = static_cast<DWORD>(version);
    SIZEL extent = extent_;
    if (SUCCEEDED(ReadLong(bag, log, L"_ExtentX", &extent.cx)) &&
        SUCCEEDED(ReadLong(bag, log, L"_ExtentY", &extent.cy)) && extent.cx > 0 && extent.cy > 0) {
        SetExtent(DVASPECT_CONTENT, &extent);
    }
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) return E_POINTER;
    HRESULT hr = WriteLong(bag, L"_Version", static_cast<LONG>(kPersistVersion));
    if (SUCCEEDED(hr)) hr = WriteLong(bag, L"_ExtentX", extent_.cx);
    if (SUCCEEDED(hr)) hr = WriteLong(bag, L"_ExtentY", extent_.cy);
    if (SUCCEEDED(hr) && clearDirty) modified_ = false;
    return hr;
}

STDMETHODIMP CGlyphonCtrl::InitNew(IStorage*) { return InitNew(); }

STDMETHODIMP CGlyphonCtrl::Load(IStorage* storage) {
    if (!storage) return E_POINTER;
    win::ComPtr<IStream> stream;
    const HRESULT hr = storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                           stream.Put());
    if (FAILED(hr)) return hr;
    return Load(stream.Get());
}

STDMETHODIMP CGlyphonCtrl::Save(IStorage* storage, BOOL) {
    if (!storage) return E_POINTER;
    win::ComPtr<IStream> stream;
    const HRESULT hr = storage->CreateStream(kContentsStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE,
                                             0, 0, stream.Put());
    if (FAILED(hr)) return hr;
    return Save(stream.Get(), TRUE);
}

STDMETHODIMP CGlyphonCtrl::SaveCompleted(IStorage*) { return S_OK; }
STDMETHODIMP CGlyphonCtrl::HandsOffStorage() { return S_OK; }

}  // namespace qex::glyphon
