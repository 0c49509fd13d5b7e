// regsvr run as a program: the entry point it calls, what it prints and how it exits.

#include "platform/registry/Registry.h"
#include "tests/platform/RegsvrRun.h"
#include "tests/platform/TempRegistry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool KeyExists(const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool TestKeyExists() { return KeyExists("RegsvrTest"); }

// The test server's filter entry with all three of its values.
bool FilterEntryIsWhole()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT,
                      "CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\{5E1F0C3A-2B7D-4C61-9A0E-417C3B52D816}",
                      0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    bool whole = true;
    for (const char* name : {"FriendlyName", "CLSID", "FilterData"}) {
        DWORD size = 0;
        whole = whole && RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return whole;
}

// One line, ending in a newline.
bool IsOneLine(const std::string& text) { return !text.empty() && text.find('\n') == text.size() - 1; }

class RegsvrTool : public ::testing::Test {
protected:
    TempRegistry registry;
};

TEST_F(RegsvrTool, RegistersAndUnregistersThroughTheEntryPoints)
{
    ToolRun run = Regsvr(REGSVR_SERVER_PATH);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, std::string("regsvr: DllRegisterServer in ") + REGSVR_SERVER_PATH + " answered 0x00000000\n");
    EXPECT_TRUE(TestKeyExists());

    run = Regsvr(std::string("-u ") + REGSVR_SERVER_PATH);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("DllUnregisterServer"), std::string::npos) << run.output;
    EXPECT_FALSE(TestKeyExists());

    run = Regsvr(std::string("-u ") + REGSVR_SERVER_PATH);
    EXPECT_EQ(run.status, 5) << "the second removal answers the registry's failure";
    EXPECT_NE(run.output.find("answered 0x80070002"), std::string::npos) << run.output;
    EXPECT_TRUE(IsOneLine(run.output)) << run.output;
}

// Two copies of a library registered at once, each removing the shared filter entry before
// entering it, as the picture source's registration does.
TEST_F(RegsvrTool, TwoRegistrationsAtOnceBothSucceedAndBothLand)
{
    const std::string server = REGSVR_SERVER_PATH;
    constexpr int kRounds = 40;
    for (int round = 0; round < kRounds; ++round) {
        for (const std::string option : {"", "-u "}) {
            const bool registering = option.empty();
            if (!registering && round == kRounds - 1) break;
            std::FILE* first = StartRegsvr(option + server, "REGSVR_TEST_KEY=First");
            std::FILE* second = StartRegsvr(option + server, "REGSVR_TEST_KEY=Second");
            const ToolRun firstRun = FinishRegsvr(first);
            const ToolRun secondRun = FinishRegsvr(second);
            ASSERT_EQ(firstRun.status, 0) << "round " << round << ": " << firstRun.output;
            ASSERT_EQ(secondRun.status, 0) << "round " << round << ": " << secondRun.output;
            ASSERT_EQ(KeyExists("First"), registering) << "round " << round;
            ASSERT_EQ(KeyExists("Second"), registering) << "round " << round;
            ASSERT_EQ(FilterEntryIsWhole(), registering) << "round " << round;
        }
    }
    const std::string text = registry.Text();
    EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\First]"), std::string::npos) << text;
    EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\Second]"), std::string::npos) << text;
}

TEST_F(RegsvrTool, FailureCodeOfTheEntryPointIsPrintedAndExitsNonZero)
{
    setenv("REGSVR_TEST_FAIL", "1", 1);
    const ToolRun run = Regsvr(REGSVR_SERVER_PATH);
    unsetenv("REGSVR_TEST_FAIL");
    EXPECT_EQ(run.status, 5);
    EXPECT_NE(run.output.find("answered 0x80004005"), std::string::npos) << run.output;
    EXPECT_TRUE(IsOneLine(run.output)) << run.output;
    EXPECT_FALSE(TestKeyExists());
}

TEST_F(RegsvrTool, LibraryThatDoesNotLoadIsNamedWithTheLoaderReason)
{
    ToolRun run = Regsvr(registry.Path().parent_path().string() + "/missing.so");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.output.find("cannot load"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("missing.so"), std::string::npos) << run.output;
    EXPECT_TRUE(IsOneLine(run.output)) << run.output;

    registry.Write("not a library\n");
    run = Regsvr(registry.Path().string());
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.output.find("cannot load " + registry.Path().string() + ": "), std::string::npos) << run.output;
    EXPECT_TRUE(IsOneLine(run.output)) << run.output;
}

TEST_F(RegsvrTool, LibraryWithoutTheEntryPointIsRefused)
{
    const ToolRun run = Regsvr(PLATFORM_LIBRARY_PATH);
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.output.find("has no entry point DllRegisterServer"), std::string::npos) << run.output;
    EXPECT_TRUE(IsOneLine(run.output)) << run.output;
}

TEST_F(RegsvrTool, ArgumentsAreChecked)
{
    ToolRun run = Regsvr("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("usage: regsvr [-u] LIBRARY"), std::string::npos) << run.output;
    run = Regsvr("--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.output.starts_with("regsvr (Reelsmith) ")) << run.output;
    EXPECT_TRUE(IsOneLine(run.output)) << run.output;
    run = Regsvr("");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(IsOneLine(run.output)) << run.output;
    run = Regsvr(std::string("-x ") + REGSVR_SERVER_PATH);
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(TestKeyExists()) << "nothing is called after a wrong argument";
}

} // namespace
