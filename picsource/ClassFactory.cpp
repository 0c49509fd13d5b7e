#include "picsource/ClassFactory.h"

#include "picsource/PictureSource.h"
#include "picsource/ServerCounters.h"

namespace {

const AMOVIESETUP_MEDIATYPE kOutputTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_NULL}};

const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"Output"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kOutputTypes}};

const AMOVIESETUP_FILTER kPictureSourceSetup = {&CLSID_PictureSource, u"XTP_Pic", MERIT_DO_NOT_USE, 1, kPins};

const FactoryTemplate kTemplates[] = {
    {u"XTP_Pic", &CLSID_PictureSource, &PictureSource::CreateInstance, nullptr, &kPictureSourceSetup},
};

} // namespace

std::span<const FactoryTemplate> ClassFactory::Templates() { return kTemplates; }

const FactoryTemplate* ClassFactory::FindTemplate(REFCLSID clsid)
{
    for (const FactoryTemplate& entry : kTemplates) {
        if (*entry.clsid == clsid) return &entry;
    }
    return nullptr;
}

ClassFactory::ClassFactory(const FactoryTemplate& served) : entry(served) { ServerCounters::ObjectCreated(); }

ClassFactory::~ClassFactory() { ServerCounters::ObjectDestroyed(); }

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() { return references.fetch_add(1) + 1; }

ULONG ClassFactory::Release()
{
    const ULONG left = references.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    // An aggregated object hands out only its own unknown to the aggregator.
    if (outer && iid != IID_IUnknown) return E_NOINTERFACE;
    HRESULT result = S_OK;
    ObjectBase* created = entry.create(outer, &result);
    if (!created) return FAILED(result) ? result : E_OUTOFMEMORY;
    if (FAILED(result)) {
        delete created;
        return result;
    }
    created->NonDelegatingAddRef();
    const HRESULT hr = created->NonDelegatingQueryInterface(iid, object);
    created->NonDelegatingRelease();
    return hr;
}

HRESULT ClassFactory::LockServer(BOOL lock)
{
    ServerCounters::Lock(lock != FALSE);
    return S_OK;
}
