// The reference counting and interface answers shared by the platform's media
// objects that serve one interface and cannot be aggregated.
//
// When the last reference goes, Derived::LastReferenceReleased runs: by default
// the object is destroyed; a derived class may hide it to do otherwise.
#pragma once

#include "platform/com/Com.h"

#include <atomic>
#include <new>

template <typename Derived, typename Interface, const IID& InterfaceId>
class PlatformObject : public Interface {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == InterfaceId) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override
    {
        const ULONG left = --references;
        if (left == 0) static_cast<Derived*>(this)->LastReferenceReleased();
        return left;
    }

    // The creation function of the class (aggregation refused).
    static HRESULT Create(IUnknown* outer, REFIID iid, void** object)
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* created = new (std::nothrow) Derived;
        if (!created) return E_OUTOFMEMORY;
        const HRESULT hr = created->QueryInterface(iid, object);
        created->Release();
        return hr;
    }

protected:
    PlatformObject() = default;
    ~PlatformObject() = default;

    void LastReferenceReleased() { delete static_cast<Derived*>(this); }

    // Starts at the creator's one reference.
    std::atomic<ULONG> references{1};
};
