// The registry over its REGEDIT4 file: values of every type through the file, the
// published call rules, locking between processes, and files that must not be touched.

#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "tests/platform/TempRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kClassKey[] = "CLSID\\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}";

// What the calls print on standard error while `calls` runs.
template <typename Calls>
std::string StandardErrorOf(Calls calls)
{
    ::testing::internal::CaptureStderr();
    calls();
    return ::testing::internal::GetCapturedStderr();
}

class Registry : public ::testing::Test {
protected:
    HKEY Create(HKEY parent, const char* subKey, REGSAM access = KEY_ALL_ACCESS)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(parent, subKey, 0, nullptr, 0, access, nullptr, &key, nullptr), ERROR_SUCCESS)
            << subKey;
        return key;
    }
    LONG SetString(HKEY key, const char* name, const std::string& text)
    {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    }
    LONG SetDword(HKEY key, const char* name, DWORD number)
    {
        return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    // The value's bytes as the A form answers them, or the error.
    std::pair<LONG, std::vector<BYTE>> Query(HKEY key, const char* name, DWORD* type = nullptr)
    {
        DWORD size = 0;
        LONG error = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
        std::vector<BYTE> data(size);
        if (error == ERROR_SUCCESS) error = RegQueryValueExA(key, name, nullptr, type, data.data(), &size);
        data.resize(size);
        return {error, data};
    }
    std::string QueryString(HKEY key, const char* name)
    {
        auto [error, data] = Query(key, name);
        EXPECT_EQ(error, ERROR_SUCCESS) << name;
        EXPECT_TRUE(!data.empty() && data.back() == 0) << name << ": the terminator is part of the data";
        return data.empty() ? std::string() : std::string(reinterpret_cast<const char*>(data.data()));
    }
    std::u16string QueryWide(HKEY key, const char16_t* name)
    {
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
        std::u16string text(size / 2, u'?');
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(text.back(), u'\0');
        text.pop_back();
        return text;
    }
    bool Exists(HKEY parent, const char* subKey)
    {
        HKEY key = nullptr;
        const LONG error = RegOpenKeyExA(parent, subKey, 0, KEY_READ, &key);
        if (error == ERROR_SUCCESS) RegCloseKey(key);
        return error == ERROR_SUCCESS;
    }
    // Only the user's keys are seen; the one line names the file and what is wrong with it,
    // however many calls read it.
    void ExpectPassedOverOnce(const std::string& problem, const std::string& machinePath)
    {
        const std::string output = StandardErrorOf([&] {
            for (int round = 0; round < 3; ++round) {
                RegCloseKey(Create(HKEY_CLASSES_ROOT, "UserKey"));
                EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "UserKey"));
                EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "CLSID"));
            }
        });
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
        EXPECT_NE(output.find("the machine-wide registry file " + machinePath + " is passed over: " + problem),
                  std::string::npos)
            << output;
    }

    TempRegistry registry;
};

TEST_F(Registry, ValuesOfEveryTypeGoThroughTheFileAsRegedit4)
{
    HKEY server = Create(HKEY_CLASSES_ROOT, (std::string(kClassKey) + "\\InprocServer32").c_str());
    ASSERT_EQ(SetString(server, nullptr, "/opt/reelsmith/lib/libXTPPic.so"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(server, "ThreadingModel", "Both"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(server, "Quoted", "a \"b\" c:\\d\\"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(server, "Lines", "one\ntwo"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(server, "Count", 10), ERROR_SUCCESS);
    const BYTE bytes[] = {0x01, 0x02, 0xfe};
    ASSERT_EQ(RegSetValueExA(server, "Bytes", 0, REG_BINARY, bytes, sizeof bytes), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(server, "Nothing", 0, REG_NONE, nullptr, 0), ERROR_SUCCESS);
    const BYTE multi[] = {'a', 0, 0};
    ASSERT_EQ(RegSetValueExA(server, "Multi", 0, 7, multi, sizeof multi), ERROR_SUCCESS);
    const std::u16string japanese = u"\u5199\u771f";
    ASSERT_EQ(RegSetValueExW(server, u"Wide", 0, REG_SZ, reinterpret_cast<const BYTE*>(japanese.c_str()),
                             static_cast<DWORD>((japanese.size() + 1) * 2)),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(server), ERROR_SUCCESS);

    EXPECT_EQ(registry.Text(), "REGEDIT4\n"
                               "\n"
                               "[HKEY_CLASSES_ROOT\\CLSID]\n"
                               "\n"
                               "[HKEY_CLASSES_ROOT\\CLSID\\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}]\n"
                               "\n"
                               "[HKEY_CLASSES_ROOT\\CLSID\\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}\\InprocServer32]\n"
                               "@=\"/opt/reelsmith/lib/libXTPPic.so\"\n"
                               "\"ThreadingModel\"=\"Both\"\n"
                               "\"Quoted\"=\"a \\\"b\\\" c:\\\\d\\\\\"\n"
                               "\"Lines\"=hex(1):6f,6e,65,0a,74,77,6f,00\n"
                               "\"Count\"=dword:0000000a\n"
                               "\"Bytes\"=hex:01,02,fe\n"
                               "\"Nothing\"=hex(0):\n"
                               "\"Multi\"=hex(7):61,00,00\n"
                               "\"Wide\"=\"\xE5\x86\x99\xE7\x9C\x9F\"\n"
                               "\n");

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, (std::string(kClassKey) + "\\InprocServer32").c_str(), 0,
                            KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(QueryString(key, ""), "/opt/reelsmith/lib/libXTPPic.so");
    EXPECT_EQ(QueryString(key, "Quoted"), "a \"b\" c:\\d\\");
    EXPECT_EQ(QueryString(key, "Lines"), "one\ntwo");
    EXPECT_EQ(QueryString(key, "Wide"), "\xE5\x86\x99\xE7\x9C\x9F");
    EXPECT_EQ(QueryWide(key, u"Wide"), japanese);
    EXPECT_EQ(QueryWide(key, u"ThreadingModel"), u"Both");
    DWORD type = 0;
    auto [error, data] = Query(key, "Count", &type);
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data, (std::vector<BYTE>{10, 0, 0, 0}));
    std::tie(error, data) = Query(key, "Bytes", &type);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(data, std::vector<BYTE>(bytes, bytes + 3));
    std::tie(error, data) = Query(key, "Multi", &type);
    EXPECT_EQ(type, 7u);
    EXPECT_EQ(data, std::vector<BYTE>(multi, multi + 3)) << "other types keep their bytes unconverted";
    std::tie(error, data) = Query(key, "Nothing", &type);
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_EQ(type, REG_NONE);
    EXPECT_TRUE(data.empty());
    RegCloseKey(key);
}

TEST_F(Registry, HandWrittenFileIsRead)
{
    registry.Write("\xEF\xBB\xBFREGEDIT4\r\n"
                   "\r\n"
                   "; written by hand\r\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\XTP\\JpegDecoder]\r\n"
                   "\"USECPU\"=dword:00000003\r\n"
                   "\"Table\"=hex:01,02,\\\r\n"
                   "  03,04\r\n"
                   "[hkey_local_machine\\software\\xtp\\jpegdecoder]\r\n"
                   "\"Path\"=\"C:\\\\x \\\"y\\\"\"   \r\n");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\XTP\\JpegDecoder", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    DWORD useCpu = 0xFFFFFFFF;
    DWORD size = sizeof useCpu;
    EXPECT_EQ(RegQueryValueExA(key, "USECPU", nullptr, nullptr, reinterpret_cast<BYTE*>(&useCpu), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(useCpu, 3u);
    EXPECT_EQ(Query(key, "Table").second, (std::vector<BYTE>{1, 2, 3, 4}));
    EXPECT_EQ(QueryString(key, "Path"), "C:\\x \"y\"");
    RegCloseKey(key);
}

// As HKEY_CLASSES_ROOT shows the machine's classes under the user's: both files' keys are
// seen, the user's values shadow the machine's, and changes never reach the machine's file.
TEST_F(Registry, MachineFileIsReadUnderTheUsersAndShadowedByIt)
{
    const std::string machineText =
        "REGEDIT4\n\n"
        "[HKEY_CLASSES_ROOT\\CLSID\\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}]\n"
        "@=\"machine\"\n"
        "\"Only\"=\"from the machine\"\n"
        "[HKEY_CLASSES_ROOT\\CLSID\\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}\\InprocServer32]\n"
        "@=\"/usr/lib/libXTPPic.so\"\n";
    registry.WriteMachine(machineText);
    registry.Write("REGEDIT4\n\n"
                   "[HKEY_CLASSES_ROOT\\clsid\\{560dee2b-87c0-49fc-8ace-1e4d3547b73b}]\n"
                   "@=\"user\"\n"
                   "[HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}]\n"
                   "@=\"the user's own\"\n");

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, kClassKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(key, ""), "user");
    EXPECT_EQ(QueryString(key, "Only"), "from the machine");
    EXPECT_TRUE(Exists(key, "InprocServer32"));
    char name[64];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "InprocServer32");
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}"));

    // A value set through the merged view lands in the user's file and shadows the machine's.
    EXPECT_EQ(SetString(key, "Only", "now the user's"), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(key, "Only"), "now the user's");
    // A key the machine's file alone holds is the machine's: no change reaches it.
    HKEY server = nullptr;
    ASSERT_EQ(RegOpenKeyExA(key, "InprocServer32", 0, KEY_ALL_ACCESS, &server), ERROR_SUCCESS);
    EXPECT_EQ(SetString(server, "ThreadingModel", "Both"), ERROR_ACCESS_DENIED);
    RegCloseKey(server);
    // Deleting removes only what is the user's: the machine's keys stay, and under a deleted
    // key of the user's the machine's of that name shows through again.
    EXPECT_EQ(RegDeleteKeyA(key, "InprocServer32"), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Exists(key, "InprocServer32"));
    RegCloseKey(key);
    const std::string serverKey = std::string(kClassKey) + "\\InprocServer32";
    RegCloseKey(Create(HKEY_CLASSES_ROOT, serverKey.c_str()));
    ASSERT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, serverKey.c_str()), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, kClassKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_TRUE(Exists(key, "InprocServer32"));
    RegCloseKey(key);
    EXPECT_NE(registry.Text().find("now the user's"), std::string::npos);
    std::ifstream machine(registry.MachinePath());
    const std::string machineAfter((std::istreambuf_iterator<char>(machine)), std::istreambuf_iterator<char>());
    EXPECT_EQ(machineAfter, machineText);

    // Without the user's file the machine's alone is seen.
    std::filesystem::remove(registry.Path());
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, kClassKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(key, ""), "machine");
    RegCloseKey(key);
}

TEST_F(Registry, MachineFileThatCannotBeUsedIsReportedOnceAndPassedOver)
{
    registry.WriteMachine("REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID]\n@=\"fine\"\n[HKEY_CLASSES_ROOT\\CLSID\\{5");
    ExpectPassedOverOnce("line 5: a key name without its closing \"]\"", registry.MachinePath());
    std::filesystem::remove(registry.MachinePath());
    std::filesystem::create_directory(registry.MachinePath());
    ExpectPassedOverOnce("Is a directory", registry.MachinePath());
}

TEST_F(Registry, UsersFileThatCannotBeUsedIsReportedOnceWithItsLine)
{
    const std::string truncated = "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID]\n@=\"/usr/lib/libXTP";
    registry.Write(truncated);
    const std::string output = StandardErrorOf([&] {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), ERROR_BADDB);
        EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), ERROR_BADDB);
        EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, "Value", "x"), ERROR_BADDB);
    });
    EXPECT_EQ(output.substr(output.find(": ") + 2),
              "the registry file " + registry.Path().string() + " cannot be used: line 4: malformed value data\n");
    EXPECT_EQ(registry.Text(), truncated);
}

// regsvr's transaction: every call of the process sees its own changes at once, the file
// takes them all in one replacement at the commit, and a failed call changes nothing.
TEST_F(Registry, TransactionMakesItsCallsOneChangeOfTheFile)
{
    RegCloseKey(Create(HKEY_CLASSES_ROOT, "Before"));
    const std::string before = registry.Text();
    ASSERT_EQ(RegistryStore::BeginTransaction(), ERROR_SUCCESS);
    EXPECT_EQ(RegistryStore::BeginTransaction(), ERROR_LOCK_VIOLATION);
    HKEY key = Create(HKEY_CLASSES_ROOT, "During\\Inner");
    EXPECT_EQ(SetString(key, "Name", "value"), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(key, "Name"), "value");
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "During"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Before"), ERROR_SUCCESS);
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "Before"));
    EXPECT_EQ(registry.Text(), before) << "the file changed before the commit";

    ASSERT_EQ(RegistryStore::CommitTransaction(), ERROR_SUCCESS);
    EXPECT_EQ(registry.Text(),
              "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\During]\n\n[HKEY_CLASSES_ROOT\\During\\Inner]\n\"Name\"=\"value\"\n\n");
    EXPECT_EQ(RegistryStore::CommitTransaction(), ERROR_INVALID_PARAMETER);
    // After the commit calls go to the file again.
    EXPECT_EQ(RegDeleteKeyA(key, ""), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(registry.Text(), "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\During]\n\n");
}

TEST_F(Registry, TransactionWithoutChangesLeavesTheFileAlone)
{
    RegCloseKey(Create(HKEY_CLASSES_ROOT, "Kept"));
    struct stat before {};
    ASSERT_EQ(stat(registry.Path().c_str(), &before), 0);
    ASSERT_EQ(RegistryStore::BeginTransaction(), ERROR_SUCCESS);
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "Kept"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Missing"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegistryStore::CommitTransaction(), ERROR_SUCCESS);
    struct stat after {};
    ASSERT_EQ(stat(registry.Path().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(Registry, TransactionIsNotOpenedOverABrokenFile)
{
    registry.Write("REGEDIT4\n[HKEY_CLASSES_ROOT\\Old\n");
    const std::string output = StandardErrorOf([] { EXPECT_EQ(RegistryStore::BeginTransaction(), ERROR_BADDB); });
    EXPECT_NE(output.find("line 2"), std::string::npos) << output;
    EXPECT_EQ(RegistryStore::CommitTransaction(), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, KeysAndValueNamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    HKEY first = Create(HKEY_CURRENT_USER, "Software\\Reelsmith");
    DWORD disposition = 0;
    HKEY second = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\reelsmith", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &second,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    ASSERT_EQ(SetString(first, "Folder", "one"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(second, "FOLDER", "two"), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(first, "folder"), "two");
    HKEY child = Create(second, "sub");
    const std::string text = registry.Text();
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Reelsmith]\n\"Folder\"=\"two\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Reelsmith\\sub]"), std::string::npos) << text;
    EXPECT_EQ(text.find("SOFTWARE"), std::string::npos) << text;
    for (HKEY key : {first, second, child}) RegCloseKey(key);
}

TEST_F(Registry, EnumerationListsDirectSubKeysInNameOrder)
{
    HKEY parent = Create(HKEY_CLASSES_ROOT, "Enum");
    for (const char* name : {"beta", "Alpha", "beta\\inner", "Gamma", "alpha two"}) RegCloseKey(Create(parent, name));

    std::vector<std::string> names;
    char name[MAX_PATH];
    DWORD length = MAX_PATH;
    for (DWORD index = 0;
         RegEnumKeyExA(parent, index, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++index, length = MAX_PATH) {
        EXPECT_EQ(length, std::strlen(name));
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "alpha two", "beta", "Gamma"}));
    length = MAX_PATH;
    EXPECT_EQ(RegEnumKeyExA(parent, 4, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    length = 5; // "Alpha" needs 6 with its terminator
    EXPECT_EQ(RegEnumKeyExA(parent, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(length, 5u);
    char16_t wide[8];
    length = 6;
    ASSERT_EQ(RegEnumKeyExW(parent, 0, wide, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(wide), u"Alpha");
    EXPECT_EQ(length, 5u);

    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Enum", 0, KEY_QUERY_VALUE, &readOnly), ERROR_SUCCESS);
    length = MAX_PATH;
    EXPECT_EQ(RegEnumKeyExA(readOnly, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
    RegCloseKey(readOnly);
    RegCloseKey(parent);
}

TEST_F(Registry, QueriesAnswerSizesAsPublished)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\XTP\\JpegDecoder");
    ASSERT_EQ(SetString(key, "Name", "abc"), ERROR_SUCCESS);
    DWORD size = 0;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, REG_SZ);
    ASSERT_EQ(RegQueryValueExW(key, u"Name", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);

    char small[2];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(small), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Query(key, "Missing").first, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Query(key, nullptr).first, ERROR_FILE_NOT_FOUND) << "no default value was set";

    // A value longer than the 4-byte integer the decoder reads into does not fit.
    const BYTE eight[8] = {};
    ASSERT_EQ(RegSetValueExA(key, "USECPU", 0, REG_BINARY, eight, sizeof eight), ERROR_SUCCESS);
    DWORD useCpu = 0;
    size = sizeof useCpu;
    EXPECT_EQ(RegQueryValueExA(key, "USECPU", nullptr, nullptr, reinterpret_cast<BYTE*>(&useCpu), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);

    EXPECT_EQ(RegDeleteValueA(key, "name"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "Name"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(Registry, DeletionFollowsThePublishedRules)
{
    HKEY parent = Create(HKEY_CLASSES_ROOT, "CLSID\\{X}");
    RegCloseKey(Create(parent, "InprocServer32"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{X}"), ERROR_ACCESS_DENIED) << "it has a sub-key";
    EXPECT_EQ(RegDeleteKeyA(parent, "Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED) << "roots stay";
    EXPECT_EQ(RegDeleteKeyA(parent, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyW(parent, u"INPROCSERVER32"), ERROR_SUCCESS);
    EXPECT_FALSE(Exists(parent, "InprocServer32"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{X}"), ERROR_SUCCESS);

    // The handle outlives its key: every call on it says so, and nothing comes back.
    EXPECT_EQ(SetString(parent, "Late", "x"), ERROR_KEY_DELETED);
    EXPECT_EQ(Query(parent, "Late").first, ERROR_KEY_DELETED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExA(parent, "Again", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "CLSID\\{X}"));
    EXPECT_EQ(RegCloseKey(parent), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(parent), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetString(parent, "Closed", "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(Registry, SetKeyValueMakesAMissingSubKeyWithItsValue)
{
    const char16_t hello[] = u"hi";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, u"CLSID\\{Y}\\Instance", u"Name", REG_SZ, hello, sizeof hello),
              ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{Y}\\Instance", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(key, "Name"), "hi");
    const DWORD number = 7;
    ASSERT_EQ(RegSetKeyValueW(key, nullptr, u"Count", REG_DWORD, &number, sizeof number), ERROR_SUCCESS)
        << "no sub-key: the key itself";
    EXPECT_EQ(Query(key, "Count").second.size(), sizeof number);
    EXPECT_EQ(RegSetKeyValueW(key, u"\\Bad", u"Name", REG_SZ, hello, sizeof hello), ERROR_BAD_PATHNAME);

    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{Y}", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeyValueW(readOnly, u"Other", u"Name", REG_SZ, hello, sizeof hello), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Exists(readOnly, "Other"));
    RegCloseKey(readOnly);

    ASSERT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{Y}\\Instance"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeyValueW(key, u"Below", u"Name", REG_SZ, hello, sizeof hello), ERROR_KEY_DELETED)
        << "a deleted key gets no sub-keys through its old handle";
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "CLSID\\{Y}\\Instance"));
    RegCloseKey(key);
}

TEST_F(Registry, HandlesOnlyAllowWhatTheyWereOpenedFor)
{
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Reelsmith"));
    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Reelsmith", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    EXPECT_EQ(SetString(readOnly, "Name", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(readOnly, "Name"), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExA(readOnly, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_ACCESS_DENIED);
    HKEY writeOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Reelsmith", 0, KEY_SET_VALUE, &writeOnly), ERROR_SUCCESS);
    ASSERT_EQ(SetString(writeOnly, "Name", "x"), ERROR_SUCCESS);
    EXPECT_EQ(Query(writeOnly, "Name").first, ERROR_ACCESS_DENIED);
    HKEY everything = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Reelsmith", 0, MAXIMUM_ALLOWED, &everything), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(everything, "Name"), "x");
    for (HKEY key : {readOnly, writeOnly, everything}) RegCloseKey(key);
}

TEST_F(Registry, UnwritableNamesAndMalformedPathsAreRefused)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "\\Leading", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "A\\\\B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Line\nBreak", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, std::string(256, 'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_INVALID_PARAMETER);
    std::string japanese;
    for (int i = 0; i < 255; ++i) japanese += "\xE5\x86\x99";
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_CLASSES_ROOT, japanese.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS)
        << "the limit counts characters, not bytes";
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, japanese.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Fine", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(0x1234), "", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);

    key = Create(HKEY_CLASSES_ROOT, "Fine\\");
    EXPECT_EQ(SetString(key, "Tab\tName", "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "NoData", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "Fine"));
    EXPECT_EQ(registry.Text(), "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Fine]\n\n");
    RegCloseKey(key);
}

TEST_F(Registry, MissingFileIsAnEmptyRegistryThatReadsDoNotCreate)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\XTP\\JpegDecoder", 0, KEY_QUERY_VALUE, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(registry.Path()));
}

TEST_F(Registry, ChangesLeaveNoTemporaryFilesAndNoOpsDoNotRewrite)
{
    RegCloseKey(Create(HKEY_CLASSES_ROOT, "Kept"));
    struct stat before {};
    ASSERT_EQ(stat(registry.Path().c_str(), &before), 0);
    RegCloseKey(Create(HKEY_CLASSES_ROOT, "kept"));
    struct stat after {};
    ASSERT_EQ(stat(registry.Path().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "opening an existing key wrote the file again";

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(registry.Path().parent_path()))
        files.push_back(entry.path().filename());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST_F(Registry, FileReachedThroughALinkStaysALink)
{
    const std::filesystem::path target = registry.Path().parent_path() / "kept-elsewhere.reg";
    std::filesystem::create_symlink(target, registry.Path());
    registry.Write("REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Before]\n\n");

    RegCloseKey(Create(HKEY_CLASSES_ROOT, "After"));
    EXPECT_TRUE(std::filesystem::is_symlink(registry.Path()));
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "Before"));
    EXPECT_EQ(registry.Text(), "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\After]\n\n[HKEY_CLASSES_ROOT\\Before]\n\n");
}

// "a\a\...": `levels` names below the root's sub-key.
std::string DeepPath(std::string_view first, int levels)
{
    std::string path(first);
    for (int level = 0; level < levels; ++level) path += "\\a";
    return path;
}

TEST_F(Registry, KeysGoDownTo512LevelsAndNoFurther)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, DeepPath("Deep", 510).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, DeepPath("deep", 510).c_str())) << "a 512-level key reads back";
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, DeepPath("Deep", 511).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, FileWhoseKeysWouldFillMemoryIsRefusedAndKept)
{
    // Each line is small, but every one of its levels is a key holding its whole path.
    std::string text = "REGEDIT4\n";
    for (int line = 0; line < 40; ++line)
        text += "[" + DeepPath("HKEY_CLASSES_ROOT\\k" + std::to_string(line), 500) + "]\n";
    registry.Write(text);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "k0", 0, KEY_READ, &key), ERROR_BADDB);
    EXPECT_EQ(registry.Text(), text);
}

class CorruptFile : public Registry, public ::testing::WithParamInterface<const char*> {};

TEST_P(CorruptFile, IsRefusedAndLeftByteForByte)
{
    const std::string original = GetParam();
    registry.Write(original);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BADDB);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Old", 0, KEY_READ, &key), ERROR_BADDB);
    EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, "Value", "x"), ERROR_BADDB);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Old"), ERROR_BADDB);
    EXPECT_EQ(registry.Text(), original);
}

INSTANTIATE_TEST_SUITE_P(Registry, CorruptFile,
                         ::testing::Values("REGEDIT5\n\n[HKEY_CLASSES_ROOT\\Old]\n",
                                           "REGEDIT4\n\"Value\"=\"before any key\"\n",
                                           "REGEDIT4\n[HKEY_NOWHERE\\Old]\n", "REGEDIT4\n[HKEY_CLASSES_ROOT\\Old\n",
                                           "REGEDIT4\n[HKEY_CLASSES_ROOT\\\\Old]\n",
                                           "REGEDIT4\n[HKEY_CLASSES_ROOT\\Old]\n\"Open\"=\"no end\n",
                                           "REGEDIT4\n[HKEY_CLASSES_ROOT\\Old]\n\"Bad\"=\"\\q\"\n",
                                           "REGEDIT4\n[HKEY_CLASSES_ROOT\\Old]\n\"Big\"=dword:123456789\n",
                                           "REGEDIT4\n[HKEY_CLASSES_ROOT\\Old]\n\"Hex\"=hex:1,02\n",
                                           "REGEDIT4\n[HKEY_CLASSES_ROOT\\Old]\n\"Hex\"=hex:01,\\\n",
                                           "REGEDIT4\n[HKEY_CLASSES_ROOT\\Old]\n\"Gone\"=-\n",
                                           "REGEDIT4\n[HKEY_CLASSES_ROOT\\Old]\nstray text\n",
                                           "REGEDIT4\n[HKEY_CLASSES_ROOT\\Old]\n\"Tab\tName\"=\"x\"\n"));

// Puts the variable back as it was when the test ends.
class SavedVariable {
public:
    explicit SavedVariable(const char* name) : valueName(name)
    {
        if (const char* value = std::getenv(name)) storedValue = value;
    }
    ~SavedVariable()
    {
        if (storedValue)
            setenv(valueName, storedValue->c_str(), 1);
        else
            unsetenv(valueName);
    }

private:
    const char* valueName;
    std::optional<std::string> storedValue;
};

TEST(RegistryPath, DefaultsToTheXdgConfigFolder)
{
    const SavedVariable savedHome("HOME");
    const SavedVariable savedConfig("XDG_CONFIG_HOME");
    const SavedVariable savedRegistry("REELSMITH_REGISTRY");
    char pattern[] = "/tmp/reelsmith-xdg-XXXXXX";
    const std::filesystem::path home = mkdtemp(pattern);
    unsetenv("REELSMITH_REGISTRY");
    setenv("HOME", home.c_str(), 1);
    const auto write = [] {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Placed", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    };

    setenv("XDG_CONFIG_HOME", (home / "xdg").c_str(), 1);
    write();
    EXPECT_TRUE(std::filesystem::exists(home / "xdg/reelsmith/registry.reg"));

    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    write();
    EXPECT_TRUE(std::filesystem::exists(home / ".config/reelsmith/registry.reg"));
    EXPECT_FALSE(std::filesystem::exists("relative/ignored"));

    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(home / ".config");
    write();
    EXPECT_TRUE(std::filesystem::exists(home / ".config/reelsmith/registry.reg"));
    struct stat folder {};
    ASSERT_EQ(stat((home / ".config/reelsmith").c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    std::filesystem::remove_all(home);
}

// Each writer sets `count` values of its own under one shared key.
void WriteValues(const std::string& prefix, int count)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Shared", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0; i < static_cast<DWORD>(count); ++i) {
        const std::string name = prefix + std::to_string(i);
        RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), sizeof i);
    }
    RegCloseKey(key);
}

void ExpectAllValues(const std::vector<std::string>& prefixes, int count)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Shared", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    int missing = 0;
    for (const std::string& prefix : prefixes) {
        for (DWORD i = 0; i < static_cast<DWORD>(count); ++i) {
            DWORD number = ~0u;
            DWORD size = sizeof number;
            const LONG error = RegQueryValueExA(key, (prefix + std::to_string(i)).c_str(), nullptr, nullptr,
                                                reinterpret_cast<BYTE*>(&number), &size);
            if (error != ERROR_SUCCESS || number != i) ++missing;
        }
    }
    EXPECT_EQ(missing, 0);
    RegCloseKey(key);
}

TEST_F(Registry, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kValues = 200;
    std::vector<pid_t> children;
    for (const char* prefix : {"first", "second"}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            WriteValues(prefix, kValues);
            _exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ExpectAllValues({"first", "second"}, kValues);
}

TEST_F(Registry, ThreadsWritingAtOnceLoseNothing)
{
    constexpr int kValues = 50;
    std::thread first(WriteValues, "a", kValues);
    std::thread second(WriteValues, "b", kValues);
    first.join();
    second.join();
    ExpectAllValues({"a", "b"}, kValues);
}

} // namespace
