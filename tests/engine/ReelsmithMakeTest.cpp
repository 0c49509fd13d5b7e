// reelsmith-make as a user runs it: exit statuses, messages, and the output
// only ever present when complete.
#include "EngineFixture.h"

#include <fstream>
#include <sys/wait.h>

namespace {

class ReelsmithMakeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/reelsmith-make-XXXXXX";
        folder = mkdtemp(pattern);
        const std::string registered = (folder / "registered.reg").string();
        const std::string command = "REELSMITH_REGISTRY=" + registered + " " + REGSVR_PATH + " " + XTPPIC_PATH +
                                    " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    // Runs the tool in the test's folder; its exit status, with standard error in `messages`.
    int Run(const std::string& arguments, const std::string& registryName = "registered.reg")
    {
        const std::string errorFile = (folder / "stderr.txt").string();
        const std::string command = "cd '" + folder.string() + "' && SDL_AUDIODRIVER=dummy REELSMITH_REGISTRY=" +
                                    (folder / registryName).string() + " " + REELSMITH_MAKE_PATH + " " + arguments +
                                    " >/dev/null 2>'" + errorFile + "'";
        const int status = std::system(command.c_str());
        std::ifstream in(errorFile);
        messages.assign(std::istreambuf_iterator<char>(in), {});
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(folder / name); }
    std::filesystem::path folder;
    std::string messages;
};

TEST_F(ReelsmithMakeTest, MakesTheMovieWithSoundFromConfigInTheCurrentDirectory)
{
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=96\nheight=64\nFrameSpeed=100\nQuality=100000\n"
                                            "[System]\nWorkThreadPriority=0\n";
    ASSERT_EQ(Run("--audio " + Media("short.wav") + " " + Media("mixed") + " out.wmv"), 0) << messages;
    const auto streams = ProbeStreams((folder / "out.wmv").string());
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].width, 96);
    EXPECT_NEAR(streams[0].duration, 0.6, 0.12);
    EXPECT_NE(messages.find("6/6"), std::string::npos);
    EXPECT_FALSE(Exists(".out.wmv.partial"));
}

TEST_F(ReelsmithMakeTest, RefusedFolderSaysSoAndFails)
{
    EXPECT_EQ(Run(Media("empty") + " out.wmv"), 1);
    EXPECT_NE(messages.find("このディレクトリでjpgファイルは見つかりませんでした。"), std::string::npos);
    EXPECT_FALSE(Exists("out.wmv"));
}

TEST_F(ReelsmithMakeTest, UnregisteredPictureSourceIsExplained)
{
    EXPECT_EQ(Run(Media("mixed") + " out.wmv", "empty.reg"), 1);
    EXPECT_NE(messages.find("Error code: 0x80040154."), std::string::npos);
    EXPECT_NE(messages.find("XTPPic is not registered: run regsvr"), std::string::npos);
}

TEST_F(ReelsmithMakeTest, FailedRunLeavesNoOutput)
{
    EXPECT_EQ(Run("--audio " + Media("video.avi") + " " + Media("mixed") + " out.wmv"), 1);
    EXPECT_NE(messages.find("Error code: 0xffffffff."), std::string::npos);
    EXPECT_FALSE(Exists("out.wmv"));
    EXPECT_FALSE(Exists(".out.wmv.partial"));
    EXPECT_EQ(Run(Media("mixed") + " missing-folder/out.wmv"), 1);
}

TEST_F(ReelsmithMakeTest, CommandLineMistakesAreExitTwo)
{
    EXPECT_EQ(Run("--help"), 0);
    EXPECT_EQ(Run(Media("mixed")), 2);
    EXPECT_EQ(Run("--bogus " + Media("mixed") + " out.wmv"), 2);
}

} // namespace
