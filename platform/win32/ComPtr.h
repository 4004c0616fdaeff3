// An owning pointer to a COM interface: releases its reference when it goes, so no interface
// outlives its owner on any path.
#pragma once

#include <unknwn.h>

#include <utility>

namespace kestrune::platform::win32 {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller already holds.
    static ComPtr Adopt(T* p) {
        ComPtr out;
        out.p_ = p;
        return out;
    }
    // Adds a reference of its own to `p` (an interface the caller lends).
    static ComPtr Retain(T* p) {
        if (p != nullptr) p->AddRef();
        return Adopt(p);
    }
    ComPtr(const ComPtr& other) : p_(other.p_) {
        if (p_ != nullptr) p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For functions that hand out a new reference: releases the current one first.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* Detach() { return std::exchange(p_, nullptr); }

    // QueryInterface for U; an empty pointer when the object does not implement it.
    template <typename U>
    ComPtr<U> As() const {
        ComPtr<U> out;
        if (p_ != nullptr && FAILED(p_->QueryInterface(__uuidof(U), out.PutVoid()))) out.Reset();
        return out;
    }

private:
    T* p_ = nullptr;
};

}  // namespace kestrune::platform::win32
