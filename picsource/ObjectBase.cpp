#include "picsource/ObjectBase.h"

#include "picsource/ServerCounters.h"

ObjectBase::ObjectBase(IUnknown* outer) : owner(outer ? outer : &inner) { ServerCounters::ObjectCreated(); }

ObjectBase::~ObjectBase() { ServerCounters::ObjectDestroyed(); }

HRESULT ObjectBase::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown) {
        *object = &inner;
        NonDelegatingAddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ObjectBase::NonDelegatingAddRef() { return references.fetch_add(1) + 1; }

ULONG ObjectBase::NonDelegatingRelease()
{
    const ULONG left = references.fetch_sub(1) - 1;
    if (left == 0) {
        // Guards against the destructor's own AddRef/Release pairs re-entering.
        references.store(1);
        delete this;
    }
    return left;
}

HRESULT ObjectBase::GetInterface(IUnknown* face, void** object)
{
    *object = face;
    face->AddRef();
    return S_OK;
}
