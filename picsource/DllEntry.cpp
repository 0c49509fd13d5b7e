// The four entry points of the in-process server, and what the library does when
// it is loaded and unloaded.
#include "picsource/ClassFactory.h"
#include "picsource/ServerCounters.h"
#include "picsource/ServerRegistration.h"

#include <new>

namespace {

void InitialiseTemplates(bool loading)
{
    for (const FactoryTemplate& entry : ClassFactory::Templates()) {
        if (entry.initialise) entry.initialise(loading);
    }
}

__attribute__((constructor)) void LibraryLoaded() { InitialiseTemplates(true); }
__attribute__((destructor)) void LibraryUnloaded() { InitialiseTemplates(false); }

} // namespace

PLATFORM_API HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IClassFactory && iid != IID_IUnknown) return E_NOINTERFACE;
    const FactoryTemplate* entry = ClassFactory::FindTemplate(clsid);
    if (!entry) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) ClassFactory(*entry);
    if (!factory) return E_OUTOFMEMORY;
    factory->AddRef();
    *object = static_cast<IClassFactory*>(factory);
    return S_OK;
}

PLATFORM_API HRESULT DllCanUnloadNow() { return ServerCounters::CanUnload() ? S_OK : S_FALSE; }

PLATFORM_API HRESULT DllRegisterServer() { return ServerRegistration::Register(true); }

PLATFORM_API HRESULT DllUnregisterServer() { return ServerRegistration::Register(false); }
