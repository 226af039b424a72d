// Small owners for COM pointers, BSTRs and GDI objects, so no path of a COM
// method forgets a Release.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace qex::glyphon {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : p_(p) { if (p_) p_->AddRef(); }  // NOLINT: adopts by AddRef
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) noexcept { std::swap(p_, o.p_); return *this; }

    void Reset() { if (T* p = std::exchange(p_, nullptr)) p->Release(); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held first.
    T** Put() { Reset(); return &p_; }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Hands the reference to a caller's out-parameter.
    T* Detach() { return std::exchange(p_, nullptr); }

    template <typename U>
    HRESULT As(ComPtr<U>* out, REFIID iid) const {
        return p_ ? p_->QueryInterface(iid, out->PutVoid()) : E_POINTER;
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* s) : b_(SysAllocString(s)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }
    BSTR Get() const { return b_; }
    BSTR* Put() { SysFreeString(b_); b_ = nullptr; return &b_; }
    BSTR Detach() { return std::exchange(b_, nullptr); }

private:
    BSTR b_ = nullptr;
};

// Owns one GDI object (bitmap, brush) and deletes it.
template <typename H>
class GdiObject {
public:
    explicit GdiObject(H h = nullptr) : h_(h) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() { if (h_) DeleteObject(h_); }
    H Get() const { return h_; }

private:
    H h_;
};

// A memory DC compatible with another, with one object selected into it
// for its lifetime.
class MemoryDc {
public:
    explicit MemoryDc(HDC compatible) : dc_(CreateCompatibleDC(compatible)) {}
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc() {
        if (old_) SelectObject(dc_, old_);
        if (dc_) DeleteDC(dc_);
    }
    HDC Get() const { return dc_; }
    void Select(HGDIOBJ obj) {
        HGDIOBJ prev = SelectObject(dc_, obj);
        if (!old_) old_ = prev;
    }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { if (h_) RegCloseKey(h_); }
    HKEY Get() const { return h_; }
    HKEY* Put() { if (h_) RegCloseKey(h_); h_ = nullptr; return &h_; }

private:
    HKEY h_ = nullptr;
};

}  // namespace qex::glyphon
