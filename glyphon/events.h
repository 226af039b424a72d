// The control's one connection point, for _DGlyphonEvents. The interface
// has no members, so nothing is ever fired; containers still look for the
// point and advise their sinks, and that must work.
#pragma once

#include "core/win/com.h"
#include "core/win/owners.h"

#include <ocidl.h>
#include <olectl.h>

#include <utility>
#include <vector>

namespace qex::glyphon {

// Lives inside the control; its reference count is the control's.
class EventConnectionPoint final : public IConnectionPoint {
public:
    explicit EventConnectionPoint(IUnknown* owner) : owner_(owner) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

    // Drops every sink (the control is closing).
    void Clear() { sinks_.clear(); }
    size_t SinkCount() const { return sinks_.size(); }

private:
    IUnknown* owner_;
    std::vector<std::pair<DWORD, win::ComPtr<IUnknown>>> sinks_;
    DWORD nextCookie_ = 1;
};

// An enumerator over exactly one connection point.
HRESULT CreateSingleConnectionPointEnum(IConnectionPoint* point, IEnumConnectionPoints** out);

}  // namespace qex::glyphon
