#include "platform/com/BuiltinClassFactory.h"

BuiltinClassFactory::BuiltinClassFactory(CreateInstanceFn createInstance) : create(createInstance) {}

HRESULT BuiltinClassFactory::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        AddRef();
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG BuiltinClassFactory::AddRef() { return ++refCount; }

ULONG BuiltinClassFactory::Release()
{
    const ULONG left = --refCount;
    if (left == 0) delete this;
    return left;
}

HRESULT BuiltinClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer && iid != IID_IUnknown) return E_NOINTERFACE;
    return create(outer, iid, object);
}

// Built-in classes live as long as the platform library; there is nothing to lock.
HRESULT BuiltinClassFactory::LockServer(BOOL) { return S_OK; }
