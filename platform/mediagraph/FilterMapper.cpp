#include "platform/mediagraph/FilterMapper.h"

#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/registry/Registry.h"

#include <new>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

std::u16string GuidText(REFGUID guid)
{
    char16_t text[GUID_STRING_CHARS + 1];
    StringFromGUID2(guid, text, GUID_STRING_CHARS + 1);
    return text;
}

std::u16string TextOrEmpty(const WCHAR* text) { return text ? std::u16string(text) : std::u16string(); }

// CLSID\{category}\Instance\{instance}: the filter registry entry of one filter.
std::u16string EntryPath(const CLSID* category, LPCOLESTR instance, REFCLSID filter)
{
    const CLSID& categoryId = category ? *category : CLSID_LegacyAmFilterCategory;
    const std::u16string instanceName = instance ? std::u16string(instance) : GuidText(filter);
    return u"CLSID\\" + GuidText(categoryId) + u"\\Instance\\" + instanceName;
}

void AppendU32(Bytes& out, DWORD value)
{
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<BYTE>(value >> shift));
}

void AppendU16(Bytes& out, WORD value)
{
    out.push_back(static_cast<BYTE>(value));
    out.push_back(static_cast<BYTE>(value >> 8));
}

void AppendGuid(Bytes& out, const GUID* guid)
{
    const GUID value = guid ? *guid : GUID_NULL;
    AppendU32(out, value.Data1);
    AppendU16(out, value.Data2);
    AppendU16(out, value.Data3);
    out.insert(out.end(), value.Data4, value.Data4 + sizeof value.Data4);
}

void AppendText(Bytes& out, const WCHAR* text)
{
    const std::u16string units = TextOrEmpty(text);
    AppendU32(out, static_cast<DWORD>(units.size()));
    for (char16_t unit : units) AppendU16(out, unit);
}

bool AppendMediaTypes(Bytes& out, UINT count, const REGPINTYPES* types)
{
    if (count != 0 && !types) return false;
    for (UINT i = 0; i < count; ++i) {
        AppendGuid(out, types[i].clsMajorType);
        AppendGuid(out, types[i].clsMinorType);
    }
    return true;
}

DWORD PinFlags(const REGFILTERPINS& pin)
{
    return (pin.bZero ? REG_PINFLAG_B_ZERO : 0) | (pin.bRendered ? REG_PINFLAG_B_RENDERER : 0) |
           (pin.bMany ? REG_PINFLAG_B_MANY : 0) | (pin.bOutput ? REG_PINFLAG_B_OUTPUT : 0);
}

bool AppendPin(Bytes& out, const REGFILTERPINS& pin)
{
    AppendU32(out, PinFlags(pin));
    AppendU32(out, 0);
    AppendU32(out, pin.nMediaTypes);
    AppendU32(out, 0);
    AppendGuid(out, nullptr);
    AppendGuid(out, pin.clsConnectsToFilter);
    AppendText(out, pin.strName);
    AppendText(out, pin.strConnectsToPin);
    return AppendMediaTypes(out, pin.nMediaTypes, pin.lpMediaType);
}

bool AppendPin(Bytes& out, const REGFILTERPINS2& pin)
{
    AppendU32(out, pin.dwFlags);
    AppendU32(out, pin.cInstances);
    AppendU32(out, pin.nMediaTypes);
    AppendU32(out, pin.nMediums);
    AppendGuid(out, pin.clsPinCategory);
    AppendGuid(out, nullptr);
    AppendText(out, nullptr);
    AppendText(out, nullptr);
    if (!AppendMediaTypes(out, pin.nMediaTypes, pin.lpMediaType)) return false;
    if (pin.nMediums != 0 && !pin.lpMedium) return false;
    for (UINT i = 0; i < pin.nMediums; ++i) {
        AppendGuid(out, &pin.lpMedium[i].clsMedium);
        AppendU32(out, pin.lpMedium[i].dw1);
        AppendU32(out, pin.lpMedium[i].dw2);
    }
    return true;
}

template <typename Pin>
HRESULT AppendPins(Bytes& out, ULONG count, const Pin* pins)
{
    if (count != 0 && !pins) return E_POINTER;
    for (ULONG i = 0; i < count; ++i)
        if (!AppendPin(out, pins[i])) return E_POINTER;
    return S_OK;
}

HRESULT SerializeFilterData(const REGFILTER2& filter, Bytes& out)
{
    if (filter.dwVersion != 1 && filter.dwVersion != 2) return E_INVALIDARG;
    AppendU32(out, filter.dwVersion);
    AppendU32(out, filter.dwMerit);
    if (filter.dwVersion == 1) {
        AppendU32(out, filter.cPins);
        return AppendPins(out, filter.cPins, filter.rgPins);
    }
    AppendU32(out, filter.cPins2);
    return AppendPins(out, filter.cPins2, filter.rgPins2);
}

LONG SetText(const std::u16string& entry, LPCWSTR name, const std::u16string& text)
{
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(char16_t));
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, entry.c_str(), name, REG_SZ, text.c_str(), bytes);
}

// Each value is written together with the entry's key: a registration of the same filter
// running at the same time deletes the entry before it writes its own, and a handle kept
// across that would answer ERROR_KEY_DELETED. The writer whose deletion came last writes
// the whole entry after it.
LONG WriteEntry(const std::u16string& entry, LPCWSTR name, REFCLSID filter, const Bytes& filterData)
{
    LONG error = SetText(entry, u"FriendlyName", name);
    if (error == ERROR_SUCCESS) error = SetText(entry, u"CLSID", GuidText(filter));
    if (error == ERROR_SUCCESS)
        error = RegSetKeyValueW(HKEY_CLASSES_ROOT, entry.c_str(), u"FilterData", REG_BINARY, filterData.data(),
                                static_cast<DWORD>(filterData.size()));
    return error;
}

} // namespace

HRESULT CreateFilterMapper2(IUnknown* outer, REFIID iid, void** object)
{
    return FilterMapper::Create(outer, iid, object);
}

HRESULT FilterMapper::CreateCategory(REFCLSID, DWORD, LPCWSTR) { return E_NOTIMPL; }

HRESULT FilterMapper::UnregisterFilter(const CLSID* category, LPCOLESTR instance, REFCLSID filter)
{
    try {
        const LONG error = RegDeleteKeyW(HKEY_CLASSES_ROOT, EntryPath(category, instance, filter).c_str());
        return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT FilterMapper::RegisterFilter(REFCLSID filter, LPCWSTR name, IMoniker** moniker, const CLSID* category,
                                     LPCOLESTR instance, const REGFILTER2* filterData)
{
    if (!name || !filterData) return E_POINTER;
    if (moniker) return E_NOTIMPL;
    try {
        Bytes data;
        const HRESULT hr = SerializeFilterData(*filterData, data);
        if (FAILED(hr)) return hr;

        const LONG error = WriteEntry(EntryPath(category, instance, filter), name, filter, data);
        return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT FilterMapper::EnumMatchingFilters(IEnumMoniker** filters, DWORD, BOOL, DWORD, BOOL, DWORD, const GUID*,
                                          const REGPINMEDIUM*, const CLSID*, BOOL, BOOL, DWORD, const GUID*,
                                          const REGPINMEDIUM*, const CLSID*)
{
    if (filters) *filters = nullptr;
    return E_NOTIMPL;
}
