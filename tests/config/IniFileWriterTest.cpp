#include "config/IniFile.h"
#include "config/IniFileWriter.h"
#include "config/SettingsLocation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class IniFileWriterTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "iniwriter-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
    }

    static std::string Read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

    fs::path folder;
};

TEST_F(IniFileWriterTest, ChangedKeysKeepTheirCommentsAndEveryOtherLineStays)
{
    IniFileWriter writer("unused");
    writer.Set("Screen", "WIDTH", "1280");
    writer.Set("Picture", "Fit", "letterbox");
    const std::string before = "; my settings\r\n[screen]\r\nwidth=640          ; movie width\r\nMystery=7\r\n"
                               "\r\n# later\r\n[Other]\r\nx=1\r\n";
    EXPECT_EQ(writer.Apply(before), "; my settings\r\n[screen]\r\nwidth=1280          ; movie width\r\nMystery=7\r\n"
                                    "\r\n# later\r\n[Other]\r\nx=1\r\n[Picture]\r\nFit=letterbox\r\n");
}

TEST_F(IniFileWriterTest, MissingKeysJoinTheirSectionInOrderAndTheReaderSeesTheNewValues)
{
    IniFileWriter writer("unused");
    writer.Set("Screen", "height", "720");
    writer.Set("Screen", "FrameSpeed", "3000");
    writer.Set("Screen", "width", "1280");
    // A repeated key and a repeated section: the reader keeps the last value, so each is changed.
    const std::string text = writer.Apply("[Screen]\nwidth=640\n[System]\nWorkThreadPriority=0\n"
                                          "[SCREEN]\nwidth=800\n[Tail]\nlast=1");
    EXPECT_EQ(text, "[Screen]\nwidth=1280\n[System]\nWorkThreadPriority=0\n[SCREEN]\nwidth=1280\nheight=720\n"
                    "FrameSpeed=3000\n[Tail]\nlast=1");
    const fs::path path = folder / "config.ini";
    Write(path, text);
    IniFile reader(path.string());
    ASSERT_TRUE(reader.Load());
    EXPECT_EQ(reader.GetInt("Screen", "width", -1), 1280);
    EXPECT_EQ(reader.GetInt("Screen", "height", -1), 720);
    EXPECT_EQ(reader.GetInt("Screen", "FrameSpeed", -1), 3000);
    EXPECT_EQ(reader.GetInt("Tail", "last", -1), 1);
}

TEST_F(IniFileWriterTest, AReplacedKeyChangesWhereTheFileHasItAndIsAddedNowhere)
{
    IniFileWriter writer("unused");
    writer.Replace("Show", "Transition", "none");
    writer.Replace("Show", "FadeInOut", "0");
    writer.Replace("Other", "key", "1");
    EXPECT_EQ(writer.Apply("[Show]\ntransition=crossfade ; mine\n"), "[Show]\ntransition=none ; mine\n");
    EXPECT_EQ(writer.Apply("[Screen]\nwidth=640\n"), "[Screen]\nwidth=640\n");
    // Set after Replace adds the key after all, and the other way round not.
    writer.Set("Show", "FadeInOut", "1");
    writer.Set("Screen", "width", "800");
    writer.Replace("Screen", "width", "900");
    EXPECT_EQ(writer.Apply("[Show]\n"), "[Show]\nFadeInOut=1\n");
}

TEST_F(IniFileWriterTest, AnEmptyOrMissingFileGetsTheSectionsWhole)
{
    IniFileWriter writer((folder / "new" / "deeper" / "config.ini").string());
    writer.Set("Screen", "width", "640");
    writer.Set("Output", "Format", "mp4");
    writer.Set("Screen", "height", "480");
    EXPECT_EQ(writer.Apply(""), "[Screen]\nwidth=640\nheight=480\n[Output]\nFormat=mp4\n");
    std::string problem;
    ASSERT_TRUE(writer.Save(problem)) << problem;
    EXPECT_EQ(Read(folder / "new" / "deeper" / "config.ini"),
              "[Screen]\nwidth=640\nheight=480\n[Output]\nFormat=mp4\n");
}

TEST_F(IniFileWriterTest, SavingReplacesTheFileWholeKeepsItsModeAndFollowsALink)
{
    const fs::path real = folder / "real.ini";
    Write(real, "[Screen]\nwidth=640\n");
    chmod(real.c_str(), 0600);
    const fs::path link = folder / "config.ini";
    fs::create_symlink(real, link);
    IniFileWriter writer(link.string());
    writer.Set("Screen", "width", "1920");
    std::string problem;
    ASSERT_TRUE(writer.Save(problem)) << problem;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(real), "[Screen]\nwidth=1920\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2) << "no temporary left";
}

// Saves in a child process, as a user without root's right to write anywhere: root's
// child becomes "nobody" first. The child's answer comes back through a pipe.
std::string SaveAsOrdinaryUser(IniFileWriter& writer)
{
    int answer[2];
    if (pipe(answer) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(answer[0]);
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(2);
        std::string problem;
        const std::string said = writer.Save(problem) ? "saved" : problem;
        _exit(write(answer[1], said.data(), said.size()) == static_cast<ssize_t>(said.size()) ? 0 : 3);
    }
    close(answer[1]);
    std::string said;
    char buffer[256];
    for (ssize_t got; (got = read(answer[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<size_t>(got));
    close(answer[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return said;
}

TEST_F(IniFileWriterTest, AFolderThatCannotBeWrittenLosesNothingAndSaysWhy)
{
    const fs::path path = folder / "config.ini";
    Write(path, "[Screen]\nwidth=640\n; kept\n");
    const fs::perms readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(path, readable);
    fs::permissions(folder, readable | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
    IniFileWriter writer(path.string());
    writer.Set("Screen", "width", "1280");
    EXPECT_EQ(SaveAsOrdinaryUser(writer), "Permission denied");
    EXPECT_EQ(Read(path), "[Screen]\nwidth=640\n; kept\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "no temporary left";
}

TEST_F(IniFileWriterTest, AWriteCutShortLosesNothingAndLeavesNoTemporary)
{
    const fs::path path = folder / "config.ini";
    const std::string before = "[Screen]\nwidth=640\n";
    Write(path, before);
    IniFileWriter writer(path.string());
    writer.Set("Screen", "width", "1280");
    writer.Set("Comment", "long", std::string(4096, 'x'));
    // A disk that fills up mid-write, even for root: the file-size limit stops the write.
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previousLimit{};
    getrlimit(RLIMIT_FSIZE, &previousLimit);
    rlimit small = previousLimit;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string problem;
    const bool saved = writer.Save(problem);
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(problem, "File too large");
    EXPECT_EQ(Read(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "no temporary left";
}

TEST_F(IniFileWriterTest, AFileTooLargeToReadBackOrAFolderThatIsAFileIsRefused)
{
    const fs::path huge = folder / "huge.ini";
    Write(huge, "[Screen]\n" + std::string(IniFile::kMaxFileBytes, ';') + "\n");
    IniFileWriter tooLarge(huge.string());
    tooLarge.Set("Screen", "width", "1");
    std::string problem;
    EXPECT_FALSE(tooLarge.Save(problem));
    EXPECT_EQ(problem, "File too large");
    EXPECT_EQ(fs::file_size(huge), IniFile::kMaxFileBytes + 10);
    IniFileWriter underAFile((huge / "config.ini").string());
    underAFile.Set("Screen", "width", "1");
    EXPECT_FALSE(underAFile.Save(problem));
    EXPECT_EQ(problem, "Not a directory");
}

class SettingsLocationTest : public IniFileWriterTest {
protected:
    void SetUp() override
    {
        IniFileWriterTest::SetUp();
        previous = fs::current_path();
        fs::create_directory(folder / "work");
        fs::current_path(folder / "work");
        setenv("XDG_CONFIG_HOME", (folder / "xdg").c_str(), 1);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        unsetenv("XDG_CONFIG_HOME");
        IniFileWriterTest::TearDown();
    }
    fs::path previous;
};

TEST_F(SettingsLocationTest, TheUsersFileIsMadeFromTheTemplateOnceAndTheCurrentFolderWins)
{
    const std::string user = (folder / "xdg" / "reelsmith" / "config.ini").string();
    EXPECT_EQ(SettingsLocation::Resolve((folder / "no-template.ini").string()), user);
    EXPECT_FALSE(fs::exists(user)) << "no template: the built-in defaults hold";

    Write(folder / "template.ini", "[Screen]\nwidth=1280\n");
    EXPECT_EQ(SettingsLocation::Resolve((folder / "template.ini").string()), user);
    EXPECT_EQ(Read(user), "[Screen]\nwidth=1280\n");
    Write(user, "[Screen]\nwidth=999\n");
    EXPECT_EQ(SettingsLocation::Resolve((folder / "template.ini").string()), user);
    EXPECT_EQ(Read(user), "[Screen]\nwidth=999\n") << "a user's own file is never replaced";

    Write("config.ini", "[Screen]\nwidth=320\n");
    EXPECT_EQ(SettingsLocation::Resolve((folder / "template.ini").string()), "config.ini");

    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", folder.c_str(), 1);
    EXPECT_EQ(SettingsLocation::UserFile(), (folder / ".config" / "reelsmith" / "config.ini").string());
}

} // namespace
