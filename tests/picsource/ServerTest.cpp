// The in-process server: its exports, class factory, aggregation, unloading and
// registration through regsvr into a temporary registry.
#include "tests/picsource/PicsourceFixture.h"

#include "platform/base/WideText.h"
#include "platform/registry/Registry.h"
#include "tests/platform/RegsvrRun.h"
#include "tests/platform/TempRegistry.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <dlfcn.h>
#include <sys/stat.h>

namespace {

// {7A3B1C2D-0000-4000-8000-00AA00BBCCDD}: not a class of the library.
constexpr CLSID kOtherClass{0x7A3B1C2D, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0xAA, 0x00, 0xBB, 0xCC, 0xDD}};

ComPtr<IClassFactory> Factory(const XtpPicLibrary& library)
{
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(library.GetClassObject(CLSID_PictureSource, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
    return factory;
}

// An aggregating object: it counts the references the inner object gives it.
class Outer final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown) {
            *object = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(iid, object) : E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }

    IUnknown* inner = nullptr;
    std::atomic<ULONG> references{1};
};

bool KeyExists(const char16_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::u16string TextValue(const char16_t* path, const char16_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return u"<no key>";
    WCHAR text[MAX_PATH] = {};
    DWORD size = sizeof text;
    DWORD type = 0;
    const LONG error = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return error == ERROR_SUCCESS ? std::u16string(text) : u"<no value>";
}

constexpr const char16_t* kClassKey = u"CLSID\\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}";
constexpr const char16_t* kServerKey = u"CLSID\\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}\\InprocServer32";
constexpr const char16_t* kFilterKey =
    u"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}";

std::u16string LibraryPath()
{
    char* resolved = realpath(XTPPIC_PATH, nullptr);
    const std::u16string path = resolved ? WideFromUtf8(resolved) : u"<no library>";
    std::free(resolved);
    return path;
}

std::string FileText(const std::filesystem::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The class key, its server key naming the library and the filter entry: all there, or
// none of them.
enum class Registration { Whole, Absent, Partial };

Registration RegistrationNow()
{
    const bool classKey = TextValue(kClassKey, nullptr) == u"XTP_Pic";
    const bool serverKey =
        TextValue(kServerKey, nullptr) == LibraryPath() && TextValue(kServerKey, u"ThreadingModel") == u"Both";
    const bool filterEntry = TextValue(kFilterKey, u"FriendlyName") == u"XTP_Pic";
    if (classKey && serverKey && filterEntry) return Registration::Whole;
    return !classKey && !KeyExists(kServerKey) && !KeyExists(kFilterKey) ? Registration::Absent : Registration::Partial;
}

// Creates the filter through COM, as the program does.
HRESULT CreateThroughCom()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return E_UNEXPECTED;
    HRESULT hr;
    {
        ComPtr<IBaseFilter> filter;
        hr =
            CoCreateInstance(CLSID_PictureSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.ReceiveVoid());
    }
    CoUninitialize();
    return hr;
}

// The library registered machine-wide at a place where it is not, with a sub-key of the
// class that the user's registration does not have.
const std::string kMachineRegistration =
    "REGEDIT4\n\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}]\n@=\"XTP_Pic\"\n\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}\\InprocServer32]\n"
    "@=\"/usr/lib/reelsmith-moved/libXTPPic.so\"\n\"ThreadingModel\"=\"Both\"\n\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}\\DefaultIcon]\n\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\"
    "{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}]\n\"FriendlyName\"=\"XTP_Pic\"\n"
    "\"CLSID\"=\"{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}\"\n\"FilterData\"=hex:01,00,00,00\n\n";

} // namespace

TEST(PicsourceServer, ExportsOnlyTheFourEntryPoints)
{
    void* handle = dlopen(XTPPIC_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"})
        EXPECT_NE(dlsym(handle, name), nullptr) << name;
    for (const char* name : {"DllMain", "jpegInit", "_ZN12PictureSource14CreateInstanceEP8IUnknownPi"})
        EXPECT_EQ(dlsym(handle, name), nullptr) << name;
    dlclose(handle);
}

TEST(PicsourceServer, ClassObjectOnlyForTheFilterAndTheFactoryInterfaces)
{
    XtpPicLibrary library;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(library.GetClassObject(kOtherClass, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(library.GetClassObject(CLSID_PictureSource, IID_IBaseFilter, &object), E_NOINTERFACE);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(library.GetClassObject(CLSID_PictureSource, IID_IUnknown, unknown.ReceiveVoid()), S_OK);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(unknown.As(IID_IClassFactory, factory), S_OK);
    EXPECT_EQ(unknown->QueryInterface(IID_IBaseFilter, &object), E_NOINTERFACE);
    factory.Reset();
    unknown.Reset();
    EXPECT_EQ(library.CanUnloadNow(), S_OK);
}

TEST(PicsourceServer, CanUnloadOnlyWithoutObjectsOrLocks)
{
    XtpPicLibrary library;
    EXPECT_EQ(library.CanUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory = Factory(library);
    ASSERT_NE(factory.Get(), nullptr);
    EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, filter.ReceiveVoid()), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
    filter.Reset();
    EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
    factory = Factory(library);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(library.CanUnloadNow(), S_OK);
}

TEST(PicsourceServer, CreateInstanceArguments)
{
    XtpPicLibrary library;
    ComPtr<IClassFactory> factory = Factory(library);
    ASSERT_NE(factory.Get(), nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, nullptr), E_POINTER);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    factory.Reset();
    EXPECT_EQ(library.CanUnloadNow(), S_OK);
}

TEST(PicsourceServer, AnAggregatedFilterDelegatesToItsOuterObject)
{
    XtpPicLibrary library;
    ComPtr<IClassFactory> factory = Factory(library);
    ASSERT_NE(factory.Get(), nullptr);
    Outer outer;
    void* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IBaseFilter, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    factory.Reset();

    // Interfaces of the inner object count references on the outer one ...
    IPictureSourceConfig* config = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IPictureSourceConfig, reinterpret_cast<void**>(&config)), S_OK);
    EXPECT_EQ(outer.references, 2u);
    // ... and name the outer object as their identity.
    IUnknown* identity = nullptr;
    ASSERT_EQ(config->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer);
    identity->Release();
    LONG count = -1;
    EXPECT_EQ(config->GetPictureCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    config->Release();
    EXPECT_EQ(outer.references, 1u);

    // Releasing the inner unknown destroys the aggregated filter.
    EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(outer.inner->Release(), 0u);
    EXPECT_EQ(library.CanUnloadNow(), S_OK);
}

TEST(PicsourceServer, RegistersThroughRegsvrAndIsCreatedThroughCom)
{
    TempRegistry registry;
    // Unregistering a library that was never registered succeeds.
    EXPECT_EQ(Regsvr(std::string("-u ") + XTPPIC_PATH).status, 0);
    ASSERT_EQ(Regsvr(XTPPIC_PATH).status, 0);

    EXPECT_EQ(TextValue(kClassKey, nullptr), u"XTP_Pic");
    char* resolved = realpath(XTPPIC_PATH, nullptr);
    ASSERT_NE(resolved, nullptr);
    EXPECT_EQ(TextValue(kServerKey, nullptr), WideFromUtf8(resolved));
    std::free(resolved);
    EXPECT_EQ(TextValue(kServerKey, u"ThreadingModel"), u"Both");
    EXPECT_EQ(TextValue(kFilterKey, u"FriendlyName"), u"XTP_Pic");

    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(
        CoCreateInstance(CLSID_PictureSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.ReceiveVoid()),
        S_OK);
    CLSID clsid{};
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_PictureSource);
    filter.Reset();
    CoUninitialize();

    ASSERT_EQ(Regsvr(std::string("-u ") + XTPPIC_PATH).status, 0);
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(kFilterKey));
}

// With the package's machine-wide registration present and read-only, the user registers
// and unregisters in the user's file alone, and the user's registration is the one used.
TEST(PicsourceServer, UsersRegistrationShadowsTheMachinesAndLeavesItAlone)
{
    TempRegistry registry;
    registry.WriteMachine(kMachineRegistration);
    ASSERT_EQ(chmod(registry.MachinePath().c_str(), 0444), 0);
    EXPECT_EQ(CreateThroughCom(), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));

    ToolRun run = Regsvr(XTPPIC_PATH);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(TextValue(kServerKey, nullptr), LibraryPath());
    EXPECT_EQ(CreateThroughCom(), S_OK);
    const std::string users = registry.Text();
    EXPECT_NE(users.find("InprocServer32]"), std::string::npos) << users;
    EXPECT_NE(users.find("\\Instance\\{560DEE2B"), std::string::npos) << users;

    run = Regsvr(std::string("-u ") + XTPPIC_PATH);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(registry.Text().find("560DEE2B"), std::string::npos) << registry.Text();
    EXPECT_EQ(TextValue(kServerKey, nullptr), u"/usr/lib/reelsmith-moved/libXTPPic.so");
    EXPECT_EQ(TextValue(kFilterKey, u"FriendlyName"), u"XTP_Pic");
    EXPECT_EQ(FileText(registry.MachinePath()), kMachineRegistration);
}

TEST(PicsourceServer, MalformedMachineFileIsReportedOnceAndPassedOver)
{
    TempRegistry registry;
    const std::string truncated = kMachineRegistration.substr(0, kMachineRegistration.find("InprocServer32"));
    registry.WriteMachine(truncated);

    const ToolRun run = Regsvr(XTPPIC_PATH);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "regsvr: the machine-wide registry file " + registry.MachinePath().string() +
                              " is passed over: line 6: a key name without its closing \"]\"\n" +
                              "regsvr: DllRegisterServer in " + std::string(XTPPIC_PATH) + " answered 0x00000000\n");
    EXPECT_EQ(RegistrationNow(), Registration::Whole);
    EXPECT_EQ(CreateThroughCom(), S_OK);
    EXPECT_EQ(FileText(registry.MachinePath()), truncated);
}

// Registrations and removals run at once each make one whole change of the file: they wait
// for each other, and whichever comes last leaves its whole result.
TEST(PicsourceServer, ConcurrentRegistrationsAndRemovalsLeaveItWholeOrAbsent)
{
    TempRegistry registry;
    constexpr int kRounds = 3;
    constexpr int kEach = 10;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::FILE*> runs;
        for (int i = 0; i < kEach; ++i) {
            runs.push_back(StartRegsvr(XTPPIC_PATH));
            runs.push_back(StartRegsvr(std::string("-u ") + XTPPIC_PATH));
        }
        for (std::FILE* pipe : runs) {
            const ToolRun run = FinishRegsvr(pipe);
            EXPECT_EQ(run.status, 0) << "round " << round << ": " << run.output;
        }
        HKEY key = nullptr;
        ASSERT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, &key), ERROR_BADDB) << registry.Text();
        if (key) RegCloseKey(key);
        ASSERT_NE(RegistrationNow(), Registration::Partial) << "round " << round << ":\n" << registry.Text();
    }
}
