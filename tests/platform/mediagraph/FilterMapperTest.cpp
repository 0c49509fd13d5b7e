// The filter mapper writing and removing filter entries in a temporary registry.

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/mediagraph/MediaGraph.h"
#include "platform/registry/Registry.h"
#include "tests/platform/mediagraph/MediaGraphFixtures.h"
#include "tests/platform/TempRegistry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr CLSID kFilter{0x11111111, 0x2222, 0x3333, {0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB}};
constexpr char16_t kEntry[] =
    u"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\{11111111-2222-3333-4455-66778899AABB}";
constexpr CLSID kCategory{0xCAFE0001, 0x0002, 0x0003, {4, 5, 6, 7, 8, 9, 10, 11}};
constexpr char16_t kCategoryEntry[] = u"CLSID\\{CAFE0001-0002-0003-0405-060708090A0B}\\Instance\\Second";

std::vector<BYTE> FromHex(const char* hex)
{
    std::vector<BYTE> bytes;
    for (const char* p = hex; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        bytes.push_back(static_cast<BYTE>(std::stoi(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return bytes;
}

// The one-output-pin source filter description that filter libraries register.
struct SourceFilterData {
    REGPINTYPES type{&MEDIATYPE_Video, &MEDIASUBTYPE_NULL};
    WCHAR pinName[7] = u"Output";
    REGFILTERPINS pin{pinName, FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &type};
    REGFILTER2 filter{1, MERIT_DO_NOT_USE, {{1, &pin}}};
};

class FilterMapperTest : public PlatformClassTest<IFilterMapper2, CLSID_FilterMapper2, IID_IFilterMapper2> {
protected:
    static bool EntryExists(const char16_t* path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    static std::vector<BYTE> Value(const char16_t* path, const char16_t* name, DWORD expectedType)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key), ERROR_SUCCESS);
        DWORD type = REG_NONE, size = 0;
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
        std::vector<BYTE> data(size);
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, data.data(), &size), ERROR_SUCCESS);
        EXPECT_EQ(type, expectedType);
        RegCloseKey(key);
        return data;
    }

    static std::u16string Text(const char16_t* path, const char16_t* name)
    {
        std::vector<BYTE> data = Value(path, name, REG_SZ);
        std::u16string text(data.size() / 2, u'\0');
        std::memcpy(text.data(), data.data(), text.size() * 2);
        while (!text.empty() && text.back() == u'\0') text.pop_back();
        return text;
    }

    TempRegistry registry;
    ComPtr<IFilterMapper2>& mapper = object;
};

TEST_F(FilterMapperTest, RegistersTheFilterEntryInTheDefaultCategory)
{
    SourceFilterData data;
    ASSERT_EQ(mapper->RegisterFilter(kFilter, u"XTP_Pic", nullptr, nullptr, nullptr, &data.filter), S_OK);

    EXPECT_EQ(Text(kEntry, u"FriendlyName"), u"XTP_Pic");
    EXPECT_EQ(Text(kEntry, u"CLSID"), u"{11111111-2222-3333-4455-66778899AABB}");
    const std::vector<BYTE> expected =
        FromHex("01000000 00002000 01000000"          // version 1, merit 0x200000, one pin
                "08000000 00000000 01000000 00000000" // output; no instances; one type; no mediums
                "00000000000000000000000000000000"    // no pin category
                "00000000000000000000000000000000"    // connects to no filter
                "06000000 4F007500740070007500 7400"  // "Output"
                "00000000"                            // connects to no pin
                "76696473 0000 1000 800000AA00389B71" // MEDIATYPE_Video
                "00000000000000000000000000000000");  // any subtype
    EXPECT_EQ(Value(kEntry, u"FilterData", REG_BINARY), expected);
}

TEST_F(FilterMapperTest, RegisteringAgainReplacesTheEntry)
{
    SourceFilterData data;
    ASSERT_EQ(mapper->RegisterFilter(kFilter, u"Old", nullptr, nullptr, nullptr, &data.filter), S_OK);
    data.filter.dwMerit = MERIT_NORMAL;
    ASSERT_EQ(mapper->RegisterFilter(kFilter, u"New", nullptr, nullptr, nullptr, &data.filter), S_OK);
    EXPECT_EQ(Text(kEntry, u"FriendlyName"), u"New");
    const std::vector<BYTE> filterData = Value(kEntry, u"FilterData", REG_BINARY);
    ASSERT_GE(filterData.size(), 8u);
    EXPECT_EQ(std::vector<BYTE>(filterData.begin() + 4, filterData.begin() + 8), FromHex("00006000"));
}

TEST_F(FilterMapperTest, UnregisterRemovesTheEntryAndReportsAMissingOne)
{
    SourceFilterData data;
    ASSERT_EQ(mapper->RegisterFilter(kFilter, u"XTP_Pic", nullptr, nullptr, nullptr, &data.filter), S_OK);
    ASSERT_TRUE(EntryExists(kEntry));
    EXPECT_EQ(mapper->UnregisterFilter(nullptr, nullptr, kFilter), S_OK);
    EXPECT_FALSE(EntryExists(kEntry));
    EXPECT_EQ(mapper->UnregisterFilter(nullptr, nullptr, kFilter), static_cast<HRESULT>(0x80070002u));
    EXPECT_EQ(mapper->UnregisterFilter(&kCategory, u"Never", kFilter), static_cast<HRESULT>(0x80070002u));
}

TEST_F(FilterMapperTest, VersionTwoRecordsWithCategoryAndInstanceName)
{
    const REGPINTYPES types[2] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}, {&MEDIATYPE_Audio, nullptr}};
    const REGPINMEDIUM medium{kCategory, 7, 9};
    const REGFILTERPINS2 pin{REG_PINFLAG_B_RENDERER | REG_PINFLAG_B_MANY, 2, 2, types, 1, &medium, &kFilter};
    REGFILTER2 filter{2, MERIT_PREFERRED, {}};
    filter.cPins2 = 1;
    filter.rgPins2 = &pin;
    ASSERT_EQ(mapper->RegisterFilter(kFilter, u"Second", nullptr, &kCategory, u"Second", &filter), S_OK);
    EXPECT_FALSE(EntryExists(kEntry));
    EXPECT_EQ(Text(kCategoryEntry, u"FriendlyName"), u"Second");

    const std::vector<BYTE> expected =
        FromHex("02000000 00008000 01000000"          // version 2, merit 0x800000, one pin
                "06000000 02000000 02000000 01000000" // renderer and many; 2 instances; 2 types; 1 medium
                "11111111 2222 3333 445566778899AABB" // pin category
                "00000000000000000000000000000000"    // version 2 pins connect to nothing
                "00000000 00000000"                   // and have no names
                "61756473 0000 1000 800000AA00389B71" // MEDIATYPE_Audio
                "01000000 0000 1000 800000AA00389B71" // MEDIASUBTYPE_PCM
                "61756473 0000 1000 800000AA00389B71" // MEDIATYPE_Audio
                "00000000000000000000000000000000"    // any subtype
                "0100FECA 0200 0300 0405060708090A0B 07000000 09000000"); // the medium
    EXPECT_EQ(Value(kCategoryEntry, u"FilterData", REG_BINARY), expected);

    EXPECT_EQ(mapper->UnregisterFilter(&kCategory, u"Second", kFilter), S_OK);
    EXPECT_FALSE(EntryExists(kCategoryEntry));
}

TEST_F(FilterMapperTest, RefusesBadRecordsWithoutWritingAnything)
{
    SourceFilterData data;
    data.filter.dwVersion = 3;
    EXPECT_EQ(mapper->RegisterFilter(kFilter, u"X", nullptr, nullptr, nullptr, &data.filter), E_INVALIDARG);
    data.filter.dwVersion = 1;
    data.filter.rgPins = nullptr;
    EXPECT_EQ(mapper->RegisterFilter(kFilter, u"X", nullptr, nullptr, nullptr, &data.filter), E_POINTER);
    data.filter.rgPins = &data.pin;
    data.pin.lpMediaType = nullptr;
    EXPECT_EQ(mapper->RegisterFilter(kFilter, u"X", nullptr, nullptr, nullptr, &data.filter), E_POINTER);
    data.pin.lpMediaType = &data.type;
    EXPECT_EQ(mapper->RegisterFilter(kFilter, nullptr, nullptr, nullptr, nullptr, &data.filter), E_POINTER);
    EXPECT_EQ(mapper->RegisterFilter(kFilter, u"X", nullptr, nullptr, nullptr, nullptr), E_POINTER);
    IMoniker* moniker = nullptr;
    EXPECT_EQ(mapper->RegisterFilter(kFilter, u"X", &moniker, nullptr, nullptr, &data.filter), E_NOTIMPL);
    EXPECT_FALSE(EntryExists(kEntry));
}

TEST_F(FilterMapperTest, OnlyTheNewMapperExistsAndItCannotBeAggregated)
{
    ComPtr<IUnknown> old;
    EXPECT_TRUE(
        FAILED(CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, old.ReceiveVoid())));
    EXPECT_FALSE(old);

    void* aggregate = nullptr;
    EXPECT_EQ(CreateFilterMapper2(mapper.Get(), IID_IUnknown, &aggregate), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(aggregate, nullptr);
    EXPECT_EQ(mapper->CreateCategory(kCategory, MERIT_NORMAL, u"Category"), E_NOTIMPL);
}

} // namespace
