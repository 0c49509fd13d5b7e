// An owning reference to a COM interface: releases what it holds when it lets go.
#pragma once

#include "platform/com/Com.h"

#include <utility>

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* raw)
    {
        ComPtr p;
        p.ptr = raw;
        return p;
    }
    // Adds a reference of its own.
    explicit ComPtr(T* raw) : ptr(raw)
    {
        if (ptr) ptr->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.ptr) {}
    ComPtr(ComPtr&& other) noexcept : ptr(std::exchange(other.ptr, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(ptr, other.ptr);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset()
    {
        if (T* old = std::exchange(ptr, nullptr)) old->Release();
    }
    T* Detach() { return std::exchange(ptr, nullptr); }

    T* Get() const { return ptr; }
    T* operator->() const { return ptr; }
    T& operator*() const { return *ptr; }
    explicit operator bool() const { return ptr != nullptr; }

    // For out parameters: releases what is held, then hands out the slot.
    T** Receive()
    {
        Reset();
        return &ptr;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    template <typename U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const
    {
        if (!ptr) return E_POINTER;
        return ptr->QueryInterface(iid, out.ReceiveVoid());
    }

private:
    T* ptr = nullptr;
};
