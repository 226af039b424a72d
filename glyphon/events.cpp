#include "glyphon/events.h"

#include "core/win/com.h"
#include "glyphon/glyphon_ids.h"
#include "glyphon/module.h"

#include <new>

namespace qex::glyphon {

STDMETHODIMP EventConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP EventConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = kDiidDGlyphonEvents;
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    return owner_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
}

STDMETHODIMP EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    // Script hosts hand in a plain IDispatch sink rather than one that
    // answers to the event interface's id.
    win::ComPtr<IUnknown> held;
    if (FAILED(sink->QueryInterface(kDiidDGlyphonEvents, held.PutVoid())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, held.PutVoid()))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    const HRESULT hr = win::ComGuard([&] {
        sinks_.emplace_back(nextCookie_, held);
        return S_OK;
    });
    if (FAILED(hr)) return hr;
    *cookie = nextCookie_++;
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first == cookie) {
            sinks_.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP EventConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

namespace {

class SingleEnum final : public SingleInterfaceObject<IEnumConnectionPoints> {
public:
    SingleEnum(IConnectionPoint* point, ULONG position)
        : SingleInterfaceObject(IID_IEnumConnectionPoints), point_(point), position_(position) {}

    STDMETHODIMP Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override {
        if (!out || (count != 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        if (count > 0 && position_ == 0) {
            out[0] = point_.Get();
            out[0]->AddRef();
            position_ = 1;
            n = 1;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const bool enough = position_ == 0 ? count <= 1 : count == 0;
        if (count > 0) position_ = 1;
        return enough ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumConnectionPoints** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) SingleEnum(point_.Get(), position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    win::ComPtr<IConnectionPoint> point_;
    ULONG position_;
};

}  // namespace

HRESULT CreateSingleConnectionPointEnum(IConnectionPoint* point, IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) SingleEnum(point, 0);
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace qex::glyphon
