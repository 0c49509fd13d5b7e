// The class factory handed out for a built-in class of the platform.
#pragma once

#include "platform/com/BuiltinClasses.h"

#include <atomic>

class BuiltinClassFactory final : public IClassFactory {
public:
    explicit BuiltinClassFactory(CreateInstanceFn create);

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT LockServer(BOOL lock) override;

private:
    ~BuiltinClassFactory() = default;

    CreateInstanceFn create;
    std::atomic<ULONG> refCount{1};
};
