#include "glyphon/verbs.h"

#include "glyphon/module.h"

#include <olectl.h>

#include <cstring>
#include <new>

namespace qex::glyphon {
namespace {

struct VerbEntry {
    LONG verb;
    const wchar_t* name;
    DWORD attributes;
};

const VerbEntry kVerbs[] = {
    {OLEIVERB_PRIMARY, L"&Edit", OLEVERBATTRIB_ONCONTAINERMENU},
    {OLEIVERB_PROPERTIES, L"&Properties...", OLEVERBATTRIB_ONCONTAINERMENU},
};
constexpr ULONG kVerbCount = sizeof(kVerbs) / sizeof(kVerbs[0]);

// Each OLEVERB handed out owns a CoTaskMem copy of its name.
bool FillVerb(const VerbEntry& entry, OLEVERB* out) {
    const size_t bytes = (wcslen(entry.name) + 1) * sizeof(wchar_t);
    auto* name = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!name) return false;
    memcpy(name, entry.name, bytes);
    out->lVerb = entry.verb;
    out->lpszVerbName = name;
    out->fuFlags = MF_STRING;
    out->grfAttribs = entry.attributes;
    return true;
}

class VerbEnum final : public SingleInterfaceObject<IEnumOLEVERB> {
public:
    explicit VerbEnum(ULONG position) : SingleInterfaceObject(IID_IEnumOLEVERB), position_(position) {}

    STDMETHODIMP Next(ULONG count, OLEVERB* out, ULONG* fetched) override {
        if (!out || (count != 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && position_ < kVerbCount) {
            if (!FillVerb(kVerbs[position_], &out[n])) break;
            ++position_;
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const ULONG left = kVerbCount - position_;
        position_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumOLEVERB** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) VerbEnum(position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    ULONG position_;
};

}  // namespace

HRESULT CreateVerbEnum(IEnumOLEVERB** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) VerbEnum(0);
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace qex::glyphon
