// The COM run time: GUID text, apartments, and object creation end to end through
// a real server library registered with regsvr into a temporary registry.

#include "platform/com/ComPtr.h"
#include "tests/platform/TempRegistry.h"
#include "tests/platform/server/TestServer.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fstream>
#include <string>
#include <thread>

namespace {

const std::u16string kPictureSourceText = u"{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}";

TEST(GuidText, FormatsAndParsesTheRegistryForm)
{
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromString(kPictureSourceText.c_str(), &clsid), S_OK);
    EXPECT_EQ(clsid.Data1, 0x560DEE2Bu);
    EXPECT_EQ(clsid.Data2, 0x87C0);
    EXPECT_EQ(clsid.Data3, 0x49FC);
    const std::uint8_t tail[8] = {0x8A, 0xCE, 0x1E, 0x4D, 0x35, 0x47, 0xB7, 0x3B};
    EXPECT_EQ(0, memcmp(clsid.Data4, tail, 8));

    char16_t text[40];
    ASSERT_EQ(StringFromGUID2(clsid, text, 40), 39);
    EXPECT_EQ(std::u16string(text), kPictureSourceText);
    EXPECT_EQ(StringFromGUID2(clsid, text, 38), 0) << "no room for the terminator";

    CLSID lower{};
    ASSERT_EQ(CLSIDFromString(u"{560dee2b-87c0-49fc-8ace-1e4d3547b73b}", &lower), S_OK);
    EXPECT_TRUE(lower == clsid);
}

TEST(GuidText, RefusesMalformedText)
{
    const char16_t* malformed[] = {
        u"560DEE2B-87C0-49FC-8ACE-1E4D3547B73B",    // no braces
        u"{560DEE2B-87C0-49FC-8ACE-1E4D3547B73}",   // one digit short
        u"{560DEE2B-87C0-49FC-8ACE-1E4D3547B73BB}", // one digit long
        u"{560DEE2B87C0-49FC-8ACE-1E4D3547B73B0}",  // dash moved
        u"{560DEE2G-87C0-49FC-8ACE-1E4D3547B73B}",  // not hex
        u"",
    };
    for (const char16_t* text : malformed) {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromString(text, &clsid), CO_E_CLASSSTRING);
    }
}

// Runs body on a fresh thread, whose apartment starts uninitialised.
template <typename Body>
void OnNewThread(Body body)
{
    std::thread(body).join();
}

TEST(Apartments, CountPerThreadAndRefuseAnotherModel)
{
    OnNewThread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        OnNewThread(
            [] { EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "apartments are per thread"; });
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE) << "one count is still held";
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE), S_OK);
        CoUninitialize();
    });
}

TEST(Apartments, CreationNeedsAnInitialisedThread)
{
    OnNewThread([] {
        ComPtr<IUnknown> object;
        EXPECT_EQ(
            CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.ReceiveVoid()),
            CO_E_NOTINITIALIZED);
        EXPECT_FALSE(object);
    });
}

class InprocServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); }
    void TearDown() override
    {
        CoFreeUnusedLibraries();
        CoUninitialize();
    }

    static bool IsLoaded()
    {
        void* handle = dlopen(TEST_SERVER_PATH, RTLD_NOW | RTLD_NOLOAD);
        if (handle) dlclose(handle);
        return handle != nullptr;
    }

    static int RunRegsvr(const std::string& arguments)
    {
        return std::system((std::string(REGSVR_PATH) + " " + arguments + " >/dev/null 2>&1").c_str());
    }

    HRESULT CreateCounter(ComPtr<ITestCounter>& counter)
    {
        return CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter,
                                counter.ReceiveVoid());
    }

    TempRegistry registry;
};

TEST_F(InprocServer, IsCreatedThroughItsRegistrationAndUnloadedWhenUnused)
{
    ComPtr<ITestCounter> counter;
    EXPECT_EQ(CreateCounter(counter), REGDB_E_CLASSNOTREG) << "not registered yet";

    ASSERT_EQ(RunRegsvr(TEST_SERVER_PATH), 0);
    EXPECT_NE(registry.Text().find("ThreadingModel"), std::string::npos);
    ASSERT_EQ(CreateCounter(counter), S_OK);
    EXPECT_EQ(counter->Increment(), 1);
    EXPECT_EQ(counter->Increment(), 2);
    EXPECT_TRUE(IsLoaded());

    CoFreeUnusedLibraries();
    EXPECT_TRUE(IsLoaded()) << "an object of the library is alive";
    EXPECT_EQ(counter->Increment(), 3);

    counter.Reset();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(IsLoaded());

    ASSERT_EQ(CreateCounter(counter), S_OK) << "loaded again on demand";
    counter.Reset();

    ASSERT_EQ(RunRegsvr(std::string("-u ") + TEST_SERVER_PATH), 0);
    EXPECT_EQ(CreateCounter(counter), REGDB_E_CLASSNOTREG);
}

TEST_F(InprocServer, LockServerKeepsTheLibraryLoaded)
{
    ASSERT_EQ(RunRegsvr(TEST_SERVER_PATH), 0);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(
        CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.ReceiveVoid()),
        S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(IsLoaded());

    ASSERT_EQ(
        CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.ReceiveVoid()),
        S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(IsLoaded());
}

TEST_F(InprocServer, BrokenRegistrationsFailWithClearCodes)
{
    ComPtr<ITestCounter> counter;
    registry.Write("REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID\\{3C1D6E0A-5B7F-4C11-9E2A-7D4B1F0C8A21}\\InprocServer32]\n"
                   "@=\"/nonexistent/libgone.so\"\n");
    EXPECT_EQ(CreateCounter(counter), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));

    // A loadable library that is no server.
    registry.Write("REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID\\{3C1D6E0A-5B7F-4C11-9E2A-7D4B1F0C8A21}\\InprocServer32]\n"
                   "@=\"" PLATFORM_LIBRARY_PATH "\"\n");
    EXPECT_EQ(CreateCounter(counter), CO_E_ERRORINDLL);

    registry.Write("REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID\\{3C1D6E0A-5B7F-4C11-9E2A-7D4B1F0C8A21}\\InprocServer32]\n"
                   "@=\"\"\n");
    EXPECT_EQ(CreateCounter(counter), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(counter);
}

TEST(TaskMemory, ReallocationKeepsTheContents)
{
    auto* block = static_cast<char*>(CoTaskMemAlloc(4));
    ASSERT_NE(block, nullptr);
    memcpy(block, "abc", 4);
    block = static_cast<char*>(CoTaskMemRealloc(block, 1 << 20));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "abc");
    CoTaskMemFree(block);
    void* empty = CoTaskMemAlloc(0);
    EXPECT_NE(empty, nullptr);
    CoTaskMemFree(empty);
}

} // namespace
