// Keeps C++ exceptions (in practice std::bad_alloc from a string or vector)
// from crossing a COM method or a window procedure: the body runs inside
// the guard and a throw becomes an error code.
#pragma once

#include <windows.h>

#include <new>

namespace qex::glyphon {

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

}  // namespace qex::glyphon
