// Registration of the library: the COM server keys of every class in the table
// (HKEY_CLASSES_ROOT\CLSID\{class} with InprocServer32 naming this library, found at
// run time, and "ThreadingModel"="Both") and the filter entries, made through the
// platform's filter mapper.
#pragma once

#include "picsource/ClassFactory.h"

#include <string>

class ServerRegistration {
public:
    static HRESULT Register(bool registering);

private:
    static HRESULT LibraryPath(std::u16string& path);
    static HRESULT WriteServerKeys(const FactoryTemplate& entry, const std::u16string& libraryPath);
    static void RemoveServerKeys(const FactoryTemplate& entry);
    static HRESULT RegisterFilters(bool registering);
    static HRESULT RegisterThroughMapper2(IFilterMapper2* mapper, const FactoryTemplate& entry, bool registering);
    static HRESULT RegisterThroughMapper(IFilterMapper* mapper, const FactoryTemplate& entry, bool registering);
};
