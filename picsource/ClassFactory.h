// The library's class table and the class factory that serves one entry of it.
#pragma once

#include "picsource/ObjectBase.h"
#include "platform/mediagraph/MediaGraph.h"

#include <atomic>
#include <span>

struct FactoryTemplate {
    const WCHAR* name;
    const CLSID* clsid;
    // A new object with no references, or null with a failure in *result.
    ObjectBase* (*create)(IUnknown* outer, HRESULT* result);
    // Run with true when the library is loaded and false when it is unloaded.
    void (*initialise)(bool loading);
    const AMOVIESETUP_FILTER* setupData;
};

class ClassFactory final : public IClassFactory {
public:
    static std::span<const FactoryTemplate> Templates();
    static const FactoryTemplate* FindTemplate(REFCLSID clsid);

    explicit ClassFactory(const FactoryTemplate& entry);
    ~ClassFactory();
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT LockServer(BOOL lock) override;

private:
    const FactoryTemplate& entry;
    std::atomic<ULONG> references{0};
};
