// The reference-counted object base of the library's COM objects, with aggregation.
//
// Every object has a non-delegating unknown (its own identity and reference count)
// and an owner: the outer unknown when it is aggregated, else its own non-delegating
// unknown. The IUnknown methods of the object's interfaces go to the owner; the owner
// reaches the object's interfaces through the non-delegating QueryInterface.
#pragma once

#include "platform/com/Com.h"

#include <atomic>

class ObjectBase {
public:
    // outer: the aggregating object's unknown, or null for a stand-alone object.
    explicit ObjectBase(IUnknown* outer);
    virtual ~ObjectBase();
    ObjectBase(const ObjectBase&) = delete;
    ObjectBase& operator=(const ObjectBase&) = delete;

    virtual HRESULT NonDelegatingQueryInterface(REFIID iid, void** object);
    ULONG NonDelegatingAddRef();
    ULONG NonDelegatingRelease();

    // The unknown that answers for this object's identity.
    IUnknown* NonDelegatingUnknown() { return &inner; }
    IUnknown* Owner() const { return owner; }

protected:
    // Hands out an interface of this object with a reference of the owner.
    HRESULT GetInterface(IUnknown* face, void** object);

private:
    class InnerUnknown final : public IUnknown {
    public:
        explicit InnerUnknown(ObjectBase& outerObject) : object(outerObject) {}
        HRESULT QueryInterface(REFIID iid, void** result) override
        {
            return object.NonDelegatingQueryInterface(iid, result);
        }
        ULONG AddRef() override { return object.NonDelegatingAddRef(); }
        ULONG Release() override { return object.NonDelegatingRelease(); }

    private:
        ObjectBase& object;
    };

    InnerUnknown inner{*this};
    IUnknown* const owner;
    std::atomic<ULONG> references{0};
};

// The IUnknown methods of a class whose interfaces all delegate to the owner.
#define OBJECTBASE_DELEGATING_UNKNOWN                                                                           \
    HRESULT QueryInterface(REFIID iid, void** object) override { return Owner()->QueryInterface(iid, object); } \
    ULONG AddRef() override { return Owner()->AddRef(); }                                                       \
    ULONG Release() override { return Owner()->Release(); }
