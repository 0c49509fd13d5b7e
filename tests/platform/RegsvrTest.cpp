// regsvr run as a program: the entry point it calls, what it prints and how it exits.

#include "platform/registry/Registry.h"
#include "tests/platform/TempRegistry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <sys/wait.h>

namespace {

struct ToolRun {
    int status = -1;
    std::string output; // standard output and error together
};

ToolRun Regsvr(const std::string& arguments)
{
    ToolRun run;
    const std::string command = std::string(REGSVR_PATH) + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool TestKeyExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "RegsvrTest", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// One line, ending in a newline.
bool IsOneLine(const std::string& text)
{
    return !text.empty() && text.find('\n') == text.size() - 1;
}

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
    run = Regsvr("");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(IsOneLine(run.output)) << run.output;
    run = Regsvr(std::string("-x ") + REGSVR_SERVER_PATH);
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(TestKeyExists()) << "nothing is called after a wrong argument";
}

} // namespace
