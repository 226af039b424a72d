// One owned resource of a C interface (a handle, a socket, a key), given
// back exactly once, on every path out of its scope. Traits name the type,
// the value that stands for "none" and the call that gives it back:
//
//   struct Traits { using Handle = ...; static Handle Invalid(); static void Close(Handle); };
//
// The Windows owners are in core/win/owners.h; the bridge's sockets use the
// same template with the traits of their platform.
#pragma once

namespace qex {

template <class Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Handle handle) noexcept : handle_(handle) {}
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.Detach()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        Reset(other.Detach());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { Reset(); }

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

    // Gives back what is held (if anything) and holds `handle` instead.
    void Reset(Handle handle = Traits::Invalid()) noexcept {
        if (handle_ != Traits::Invalid()) Traits::Close(handle_);
        handle_ = handle;
    }
    // Hands the resource over to the caller, who then gives it back.
    Handle Detach() noexcept {
        const Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    // For a call that returns the resource through a pointer: what is held
    // is given back first.
    Handle* Put() noexcept {
        Reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::Invalid();
};

}  // namespace qex
