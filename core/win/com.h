// COM pointers and automation strings that give back what they hold on
// every path, and the barrier that keeps C++ exceptions (in practice
// std::bad_alloc from a string or a vector) from crossing a COM method, an
// export or a window procedure: the body runs inside it and a throw becomes
// an error code.
#pragma once

#include "core/win/win32.h"

#include <oleauto.h>

#include <new>
#include <utility>

namespace qex::win {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : p_(p) {  // NOLINT: adopts by AddRef
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    // Takes over a reference the caller already holds (no AddRef).
    static ComPtr Adopt(T* p) {
        ComPtr ptr;
        ptr.p_ = p;
        return ptr;
    }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held first.
    T** Put() {
        Reset();
        return &p_;
    }
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
    BSTR* Put() {
        SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }
    BSTR Detach() { return std::exchange(b_, nullptr); }

private:
    BSTR b_ = nullptr;
};

// An EXCEPINFO that a dispatch call may fill, its strings freed with it.
struct ExcepInfo : EXCEPINFO {
    ExcepInfo() : EXCEPINFO() {}
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
};

template <typename Body>
HRESULT ComGuard(Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace qex::win
