// CLSID_FilterMapper2: enters filters in, and removes them from, the media
// framework's filter registry, kept in the platform registry under
//
//   HKEY_CLASSES_ROOT\CLSID\{category}\Instance\{instance}
//
// where the category defaults to CLSID_LegacyAmFilterCategory and the instance
// to the filter's class identifier. The key holds "FriendlyName" (the filter's
// name), "CLSID" (its class identifier, "{...}") and "FilterData" (REG_BINARY).
//
// FilterData, all numbers unsigned 32-bit little-endian, GUIDs as their 16 bytes
// (Data1, Data2, Data3 little-endian, then Data4):
//   version (the REGFILTER2's, 1 or 2), merit, pin count, then for every pin:
//     flags (REG_PINFLAG_B_*), instance count, media type count, medium count,
//     pin category GUID, connects-to filter GUID (null GUID when none),
//     pin name length in UTF-16 units then the units (no terminator),
//     connects-to pin length then its units,
//     the media types (major GUID, minor GUID; a missing one is the null GUID),
//     the mediums (GUID, dw1, dw2).
// Version 1 pins have no instance count, mediums or category (written as 0 and
// the null GUID); version 2 pins have no names or connects-to entries.
//
// Looking filters up (EnumMatchingFilters) and categories (CreateCategory)
// answer E_NOTIMPL: nothing on this platform asks for them.
#pragma once

#include "platform/mediagraph/MediaGraph.h"
#include "platform/mediagraph/PlatformObject.h"

class FilterMapper final : public PlatformObject<FilterMapper, IFilterMapper2, IID_IFilterMapper2> {
public:
    FilterMapper() = default;
    FilterMapper(const FilterMapper&) = delete;
    FilterMapper& operator=(const FilterMapper&) = delete;

    HRESULT CreateCategory(REFCLSID category, DWORD categoryMerit, LPCWSTR description) override;
    // A missing entry answers HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
    HRESULT UnregisterFilter(const CLSID* category, LPCOLESTR instance, REFCLSID filter) override;
    // No moniker can be given out here: a moniker argument answers E_NOTIMPL.
    HRESULT RegisterFilter(REFCLSID filter, LPCWSTR name, IMoniker** moniker, const CLSID* category, LPCOLESTR instance,
                           const REGFILTER2* filterData) override;
    HRESULT EnumMatchingFilters(IEnumMoniker** filters, DWORD flags, BOOL exactMatch, DWORD merit, BOOL inputNeeded,
                                DWORD inputTypeCount, const GUID* inputTypes, const REGPINMEDIUM* inputMedium,
                                const CLSID* inputPinCategory, BOOL render, BOOL outputNeeded, DWORD outputTypeCount,
                                const GUID* outputTypes, const REGPINMEDIUM* outputMedium,
                                const CLSID* outputPinCategory) override;

private:
    friend PlatformObject;
    ~FilterMapper() = default;
};
