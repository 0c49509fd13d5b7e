// reelsmith-make as a user runs it: exit statuses, messages, and the output
// only ever present when complete.
#include "EngineFixture.h"
#include "tests/common/FrameColours.h"
#include "tests/common/TestWave.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <regex>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class ReelsmithMakeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/reelsmith-make-XXXXXX";
        folder = mkdtemp(pattern);
        const std::string registered = (folder / "registered.reg").string();
        const std::string command = "REELSMITH_MACHINE_REGISTRY=" + (folder / "machine.reg").string() +
                                    " REELSMITH_REGISTRY=" + registered + " " + REGSVR_PATH + " " + XTPPIC_PATH +
                                    " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    // Runs the tool in the test's folder under the locale; its exit status, with standard
    // error in `messages`. No machine-wide registry file is there.
    int Run(const std::string& arguments, const std::string& registryName = "registered.reg",
            const std::string& locale = "C")
    {
        return RunWith("LC_ALL=" + locale + " LANGUAGE=", arguments, registryName);
    }
    // The same with the locale's variables as `environment` sets them.
    int RunWith(const std::string& environment, const std::string& arguments,
                const std::string& registryName = "registered.reg")
    {
        const std::string errorFile = (folder / "stderr.txt").string();
        const std::string command =
            "cd '" + folder.string() + "' && LANG= LC_MESSAGES= LC_ALL= " + environment +
            " SDL_AUDIODRIVER=dummy REELSMITH_MACHINE_REGISTRY=" + (folder / "machine.reg").string() +
            " REELSMITH_REGISTRY=" + (folder / registryName).string() + " " + REELSMITH_MAKE_PATH + " " + arguments +
            " >/dev/null 2>'" + errorFile + "'";
        const int status = std::system(command.c_str());
        std::ifstream in(errorFile);
        messages.assign(std::istreambuf_iterator<char>(in), {});
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(folder / name); }
    // Files in the test's folder whose names start with a dot: the writer's temporaries.
    int HiddenFiles() const
    {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            count += entry.path().filename().string().starts_with(".");
        return count;
    }
    // Starts the tool in the test's folder without waiting; standard error goes to `errorFile`.
    pid_t Start(const std::vector<std::string>& arguments, const std::string& errorFile)
    {
        const int error = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const pid_t child = Start(arguments, error);
        close(error);
        return child;
    }
    // The same with standard error on an open descriptor.
    pid_t Start(const std::vector<std::string>& arguments, int error)
    {
        const pid_t child = fork();
        if (child != 0) return child;
        if (chdir(folder.c_str()) != 0) _exit(127);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("LC_ALL", "C", 1);
        unsetenv("LANGUAGE");
        setenv("REELSMITH_REGISTRY", (folder / "registered.reg").c_str(), 1);
        setenv("REELSMITH_MACHINE_REGISTRY", (folder / "machine.reg").c_str(), 1);
        dup2(error, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(REELSMITH_MAKE_PATH)};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(REELSMITH_MAKE_PATH, argv.data());
        _exit(127);
    }
    // The child's exit status once it ends, or -1 when it is still running after `seconds`.
    static int WaitFor(pid_t child, int seconds)
    {
        const int ended = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
        pollfd watch{ended, POLLIN, 0};
        const bool inTime = ended >= 0 && poll(&watch, 1, seconds * 1000) == 1;
        if (ended >= 0) close(ended);
        if (!inTime) kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        if (!inTime) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    }
    // Waits until `done` holds, woken by each change of a file in the test's folder;
    // false when it still does not hold after `seconds`.
    bool WaitForFiles(const std::function<bool()>& done, int seconds) const
    {
        const int changes = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (changes < 0) return done();
        inotify_add_watch(changes, folder.c_str(), IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd watch{changes, POLLIN, 0};
            poll(&watch, 1, static_cast<int>(left.count()));
            char events[4096];
            while (read(changes, events, sizeof events) > 0) {}
        }
        close(changes);
        return done();
    }
    bool WaitForText(const std::string& name, const std::string& text, int seconds) const
    {
        return WaitForFiles([&] { return ReadFile(name).find(text) != std::string::npos; }, seconds);
    }
    std::string ReadFile(const std::string& name) const
    {
        std::ifstream in(folder / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // A folder of `count` links to the 12-megapixel picture: a run that lasts.
    std::string LongFolder(int count) const
    {
        const std::filesystem::path pictures = folder / "long";
        std::filesystem::create_directory(pictures);
        for (int i = 0; i < count; ++i)
            std::filesystem::create_symlink(Media("large/big.jpg"), pictures / (std::to_string(i) + ".jpg"));
        return pictures.string();
    }
    // Flat-colour pictures, one per name, in a folder of the test's folder.
    std::string ColourFolder(const std::vector<std::pair<std::string, std::string>>& pictures) const
    {
        const std::filesystem::path colours = folder / "colours";
        std::filesystem::create_directory(colours);
        for (const auto& [name, colour] : pictures) {
            const std::string command = "convert -size 64x48 xc:" + colour + " '" + (colours / name).string() + "'";
            EXPECT_EQ(std::system(command.c_str()), 0) << command;
        }
        return colours.string();
    }
    // The movie's pictures by their colours (see tests/common/FrameColours.h).
    std::string FrameColours(const std::string& name, int width, int height) const
    {
        return ::FrameColours((folder / name).string(), width, height);
    }
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
    EXPECT_EQ(HiddenFiles(), 0);
}

TEST_F(ReelsmithMakeTest, RefusedFolderSaysSoInTheUsersLanguageAndFails)
{
    for (const char* locale : {"C", "POSIX", "ja_JP.UTF-8"}) {
        EXPECT_EQ(Run(Media("empty") + " out.wmv", "registered.reg", locale), 1);
        EXPECT_EQ(messages, "Reelsmith: このディレクトリでjpgファイルは見つかりませんでした。\n") << locale;
    }
    EXPECT_EQ(Run(Media("empty") + " out.wmv", "registered.reg", "en_US.UTF-8"), 1);
    EXPECT_EQ(messages, "Reelsmith: No JPG files were found in this folder.\n");
    EXPECT_FALSE(Exists("out.wmv"));
}

TEST_F(ReelsmithMakeTest, TheLocaleChangesNoByteOfTheMovie)
{
    ASSERT_EQ(Run(Media("mixed") + " c.wmv", "registered.reg", "C"), 0) << messages;
    ASSERT_EQ(Run(Media("mixed") + " english.wmv", "registered.reg", "en_US.UTF-8"), 0) << messages;
    const std::string made = ReadFile("c.wmv");
    EXPECT_GT(made.size(), 1000u);
    EXPECT_TRUE(made == ReadFile("english.wmv"));
}

TEST_F(ReelsmithMakeTest, UnregisteredPictureSourceIsExplained)
{
    EXPECT_EQ(Run(Media("mixed") + " out.wmv", "empty.reg"), 1);
    EXPECT_NE(messages.find("Error code: 0x80040154.\n写真ソース (libXTPPic.so) が登録されていません"),
              std::string::npos)
        << messages;
    // The library beside the program, by the paths it has here.
    EXPECT_NE(messages.find(std::string("写真ソースが登録されていません。登録するには ") + REGSVR_PATH + " " +
                            XTPPIC_PATH + " を実行してください"),
              std::string::npos)
        << messages;
}

TEST_F(ReelsmithMakeTest, FailedRunLeavesNoOutputAndSaysWhyInWords)
{
    EXPECT_EQ(Run("--audio " + Media("video.avi") + " " + Media("mixed") + " out.wmv"), 1);
    EXPECT_NE(messages.find("Reelsmith: Error code: 0xffffffff.\nこのファイルには読み込める音声がありません: " +
                            Media("video.avi") + "\n"),
              std::string::npos)
        << messages;
    EXPECT_FALSE(Exists("out.wmv"));
    EXPECT_EQ(HiddenFiles(), 0);
    EXPECT_EQ(Run("--audio " + Media("video.avi") + " " + Media("mixed") + " out.wmv", "registered.reg", "en_GB.UTF-8"),
              1);
    EXPECT_NE(messages.find("Reelsmith: Error code: 0xffffffff.\nThe file has no sound that can be read: " +
                            Media("video.avi") + "\n"),
              std::string::npos)
        << messages;
    EXPECT_EQ(Run(Media("mixed") + " missing-folder/out.wmv", "registered.reg", "en_US.UTF-8"), 1);
    EXPECT_NE(messages.find("missing-folder/out.wmv was not made (event 3, 0x80070003): The folder does not exist"),
              std::string::npos)
        << messages;
}

TEST_F(ReelsmithMakeTest, AnUnreadablePictureIsSkippedNamedAndExitsThree)
{
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=96\nheight=64\nFrameSpeed=500\nQuality=100000\n"
                                            "[System]\nWorkThreadPriority=0\n";
    ASSERT_EQ(Run(Media("broken") + " out.wmv"), 3) << messages;
    EXPECT_NE(messages.find("reelsmith-make: 2 枚目の写真 " + Media("broken") +
                            "/2.jpg を飛ばしました: JPEG のデータが壊れています (-"),
              std::string::npos)
        << messages;
    const auto streams = ProbeStreams((folder / "out.wmv").string());
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_NEAR(streams[0].duration, 1.0, 0.12) << "two pictures of 500 ms, no gap";
}

// LANGUAGE's list under either locale: the first language with texts wins, Japanese
// (the texts' own, with no catalogue) included; the window's texts and the tool's own
// lines alike.
TEST_F(ReelsmithMakeTest, TheFirstOfTheUsersLanguagesWithTextsIsSpoken)
{
    const struct {
        const char* environment;
        bool english;
    } cases[] = {
        {"LANG=ja_JP.UTF-8 LANGUAGE=ja:en", false},
        {"LANG=ja_JP.UTF-8 LANGUAGE=en:ja", true},
        {"LANG=ja_JP.UTF-8", false},
        {"LANG=en_US.UTF-8 LANGUAGE=ja:en", false},
        {"LANG=en_US.UTF-8 LANGUAGE=en:ja", true},
        {"LANG=en_US.UTF-8", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunWith(c.environment, Media("empty") + " out.wmv"), 1);
        EXPECT_EQ(messages, c.english ? "Reelsmith: No JPG files were found in this folder.\n"
                                      : "Reelsmith: このディレクトリでjpgファイルは見つかりませんでした。\n")
            << c.environment;
        EXPECT_EQ(RunWith(c.environment, Media("mixed") + " ''"), 2);
        EXPECT_EQ(messages, c.english ? "reelsmith-make: the output file's name (OUTPUT) is empty\n"
                                      : "reelsmith-make: 出力ファイルの名前 (OUTPUT) が空です\n")
            << c.environment;
    }
    EXPECT_FALSE(Exists("out.wmv"));
}

TEST_F(ReelsmithMakeTest, AnIgnoredSettingsFileIsExplainedNamingTheKey)
{
    const std::string rest = "height=64\nFrameSpeed=100\nQuality=100000\n[System]\nWorkThreadPriority=0\n";
    std::ofstream(folder / "spaced.ini") << "[Screen]\nwidth = 320\n" << rest;
    std::ofstream(folder / "misspelt.ini") << "[Screen]\nwidht=320\n" << rest;
    std::ofstream(folder / "lacking.ini") << "[Screen]\nwidth=96\nheight=64\nFrameSpeed=100\nQuality=100000\n";
    std::ofstream(folder / "large.ini") << "[Screen]\nwidth=96\n" << rest << std::string(65 * 1024, ';') << "\n";
    const std::string lost = " is missing, so none of the file's settings are used";
    const struct {
        const char* file;
        std::vector<std::string> lines;
    } cases[] = {
        {"spaced.ini",
         {"spaced.ini: [Screen] width" + lost,
          "spaced.ini: \"width = 320\" has spaces around the equals sign, which are not allowed: write width=320"}},
        {"misspelt.ini",
         {"misspelt.ini: [Screen] width" + lost, "misspelt.ini: [Screen] widht: is it a misspelling of width?"}},
        {"lacking.ini", {"lacking.ini: [System] WorkThreadPriority" + lost}},
        {"large.ini", {"the settings file large.ini is larger than 64 KB and is not read"}},
        {"absent.ini", {"the settings file absent.ini does not exist"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            Run(std::string("--config ") + c.file + " " + Media("mixed") + " out.wmv", "registered.reg", "en_US.UTF-8"),
            0)
            << messages;
        for (const std::string& line : c.lines)
            EXPECT_NE(messages.find("reelsmith-make: " + line), std::string::npos) << messages;
        const auto streams = ProbeStreams((folder / "out.wmv").string());
        ASSERT_EQ(streams.size(), 1u);
        EXPECT_EQ(streams[0].width, 640) << "the built-in frame size";
        // A frame rate asked for changes the frame rate alone, not the built-in picture time.
        ASSERT_EQ(Run(std::string("--config ") + c.file + " --fps 25 " + Media("mixed") + " out.mp4"), 0) << messages;
        const auto paced = ProbeStreams((folder / "out.mp4").string());
        ASSERT_EQ(paced.size(), 1u);
        EXPECT_NEAR(paced[0].duration, streams[0].duration, 0.05) << c.file;
    }
}

// A PNG named like an MP3, and WAV headers whose channels the decoder cannot mix
// down, are refused where the sound is chosen, in words, and no movie is made.
TEST_F(ReelsmithMakeTest, ASoundTheDecoderCannotReadIsRefusedInWords)
{
    const std::string png = (folder / "picture.mp3").string();
    ASSERT_EQ(std::system(("convert " + Media("mixed/a420.jpg") + " 'png:" + png + "'").c_str()), 0);
    const std::string many = (folder / "many.wav").string();
    const std::string twelve = (folder / "twelve.wav").string();
    ASSERT_TRUE(WriteTestWave(many, 22050, 65535, 16));
    ASSERT_TRUE(WriteTestWave(twelve, 22050, 12, 22050));
    const std::string unmixable =
        "Reelsmith: Error code: 0x8004025c.\nThe sound file's audio cannot be converted (its number or layout of "
        "channels is not supported): ";
    const std::pair<std::string, std::string> cases[] = {
        {png, "Reelsmith: Error code: 0xffffffff.\nThe file has no sound that can be read: " + png + "\n"},
        {many, unmixable + many + "\n"},
        {twelve, unmixable + twelve + "\n"},
    };
    for (const auto& [sound, said] : cases) {
        EXPECT_EQ(Run("--audio " + sound + " " + Media("mixed") + " out.wmv", "registered.reg", "en_US.UTF-8"), 1);
        EXPECT_NE(messages.find(said), std::string::npos) << messages;
        EXPECT_FALSE(Exists("out.wmv"));
        EXPECT_EQ(HiddenFiles(), 0);
    }
}

// Sixteen channels have a standard layout: mixed down, the sound lasts as long as the movie.
TEST_F(ReelsmithMakeTest, ASoundOfSixteenChannelsIsMixedDownWhole)
{
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=96\nheight=64\nFrameSpeed=250\nQuality=100000\n"
                                            "[System]\nWorkThreadPriority=0\n";
    const std::string sixteen = (folder / "sixteen.wav").string();
    ASSERT_TRUE(WriteTestWave(sixteen, 22050, 16, 22050 * 3 / 2));
    ASSERT_EQ(Run("--audio " + sixteen + " " + Media("mixed") + " out.wmv"), 0) << messages;
    const auto streams = ProbeStreams((folder / "out.wmv").string());
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[1].channels, 2);
    EXPECT_NEAR(streams[1].duration, 1.5, 0.12);
}

TEST_F(ReelsmithMakeTest, NoReadablePictureMakesNoMovieAndKeepsTheEarlierOne)
{
    const std::filesystem::path bad = folder / "bad";
    std::filesystem::create_directory(bad);
    for (const char* name : {"1.jpg", "2.jpg"}) std::ofstream(bad / name) << "\x89PNG not a JPEG";
    std::ofstream(folder / "out.wmv") << "earlier";
    EXPECT_EQ(Run(bad.string() + " out.wmv"), 1);
    EXPECT_NE(messages.find("読み込める写真がないため、動画は作られませんでした"), std::string::npos) << messages;
    EXPECT_EQ(ReadFile("out.wmv"), "earlier");
    EXPECT_EQ(HiddenFiles(), 0);
}

TEST_F(ReelsmithMakeTest, AFifoNamedLikeAPictureDoesNotStallTheRun)
{
    const std::filesystem::path pictures = folder / "pictures";
    std::filesystem::create_directory(pictures);
    std::filesystem::copy_file(Media("mixed/a420.jpg"), pictures / "a.jpg");
    ASSERT_EQ(mkfifo((pictures / "b.jpg").c_str(), 0644), 0);
    const pid_t child = Start({pictures.string(), "out.wmv"}, (folder / "stderr.txt").string());
    // The FIFO is a picture left out, with its line, like any unreadable one.
    EXPECT_EQ(WaitFor(child, 60), 3) << ReadFile("stderr.txt");
    EXPECT_NE(ReadFile("stderr.txt").find("b.jpg"), std::string::npos) << ReadFile("stderr.txt");
    EXPECT_TRUE(Exists("out.wmv"));
}

TEST_F(ReelsmithMakeTest, AnOutputNameThatIsAFolderFailsNamingIt)
{
    std::filesystem::create_directory(folder / "taken.wmv");
    EXPECT_EQ(Run(Media("mixed") + " taken.wmv"), 1);
    EXPECT_NE(messages.find("taken.wmv"), std::string::npos) << messages;
    EXPECT_TRUE(std::filesystem::is_directory(folder / "taken.wmv"));
    EXPECT_EQ(HiddenFiles(), 0);
}

TEST_F(ReelsmithMakeTest, AFinalRenameThatFailsIsAFailureNamingTheOutput)
{
    const std::string pictures = LongFolder(40);
    const pid_t child = Start({pictures, "late.wmv"}, (folder / "stderr.txt").string());
    // The first count shown, whichever it is: the run and its file are open by then. The
    // progress shows the count as it finds it, so a given count may be passed over.
    ASSERT_TRUE(WaitForText("stderr.txt", "/40", 60)) << ReadFile("stderr.txt");
    // The name is taken by a folder while the movie is being made.
    std::filesystem::create_directory(folder / "late.wmv");
    std::ofstream(folder / "late.wmv" / "inside.txt") << "kept";
    EXPECT_EQ(WaitFor(child, 120), 1) << ReadFile("stderr.txt");
    EXPECT_NE(ReadFile("stderr.txt").find("動画 late.wmv は作られませんでした"), std::string::npos)
        << ReadFile("stderr.txt");
    EXPECT_EQ(ReadFile("late.wmv/inside.txt"), "kept");
    EXPECT_EQ(HiddenFiles(), 0);
}

TEST_F(ReelsmithMakeTest, TwoRunsToOneOutputBothLandWholeMovies)
{
    const std::string pictures = LongFolder(6);
    const pid_t first = Start({pictures, "same.wmv"}, (folder / "first.txt").string());
    const pid_t second = Start({pictures, "same.wmv"}, (folder / "second.txt").string());
    EXPECT_EQ(WaitFor(first, 120), 0) << ReadFile("first.txt");
    EXPECT_EQ(WaitFor(second, 120), 0) << ReadFile("second.txt");
    const auto streams = ProbeStreams((folder / "same.wmv").string());
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_NEAR(streams[0].duration, 6.0, 0.6) << "the default 1000 ms per picture";
    EXPECT_EQ(HiddenFiles(), 0);
}

TEST_F(ReelsmithMakeTest, StopSignalsEndTheRunQuicklyAndLeaveNothing)
{
    const std::string pictures = LongFolder(200);
    std::ofstream(folder / "out.wmv") << "earlier";
    for (const auto& [signal, status] : {std::pair{SIGTERM, 143}, std::pair{SIGINT, 130}, std::pair{SIGHUP, 129}}) {
        const std::string errorName = "stderr-" + std::to_string(signal) + ".txt";
        const pid_t child = Start({pictures, "out.wmv"}, (folder / errorName).string());
        // Under way: a first count has been shown.
        ASSERT_TRUE(WaitForText(errorName, "/200", 60)) << ReadFile(errorName);
        kill(child, signal);
        EXPECT_EQ(WaitFor(child, 10), status) << ReadFile(errorName);
        EXPECT_EQ(ReadFile("out.wmv"), "earlier");
        EXPECT_EQ(HiddenFiles(), 0);
    }
}

TEST_F(ReelsmithMakeTest, NoSoundOutputIsOnlyMentionedWhenASoundIsAsked)
{
    const auto runSoundless = [this](const std::string& arguments) {
        const std::string command =
            "cd '" + folder.string() +
            "' && LC_ALL=en_US.UTF-8 LANGUAGE= SDL_AUDIODRIVER=no-such-driver REELSMITH_REGISTRY=" +
            (folder / "registered.reg").string() + " " + REELSMITH_MAKE_PATH + " " + arguments + " 2>'" +
            (folder / "stderr.txt").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(runSoundless(Media("second") + " out.wmv"), 0);
    std::string text = ReadFile("stderr.txt");
    EXPECT_EQ(text.find("0x80040256"), std::string::npos) << text;
    EXPECT_EQ(text.find("ALSA"), std::string::npos) << text;
    EXPECT_EQ(text.find("[swscaler"), std::string::npos) << text;

    // A movie's sound needs no sound output: it is made, with a word about the machine.
    EXPECT_EQ(runSoundless("--audio " + Media("short.wav") + " " + Media("second") + " sound.wmv"), 0);
    text = ReadFile("stderr.txt");
    EXPECT_NE(text.find("no sound output (Error code: 0x80040256.)"), std::string::npos) << text;
    EXPECT_EQ(ProbeStreams((folder / "sound.wmv").string()).size(), 2u);
}

TEST_F(ReelsmithMakeTest, AnAbsurdQualityKeepsTheDefaultAndSaysSo)
{
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=96\nheight=64\nFrameSpeed=100\nQuality=-5\n"
                                            "[System]\nWorkThreadPriority=0\n";
    ASSERT_EQ(Run(Media("second") + " out.wmv"), 0) << messages;
    EXPECT_NE(messages.find("config.ini: Quality=-5 は 8000..50000000 の範囲外です。185000 を使います"),
              std::string::npos)
        << messages;
    ASSERT_EQ(Run(Media("second") + " out.wmv", "registered.reg", "en_US.UTF-8"), 0) << messages;
    EXPECT_NE(messages.find("config.ini: Quality=-5 is outside 8000..50000000; 185000 is used"), std::string::npos)
        << messages;
    const auto streams = ProbeStreams((folder / "out.wmv").string());
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].width, 96) << "the other values are used";
}

TEST_F(ReelsmithMakeTest, PictureKeysAtTheirDefaultsChangeNoByteAndUnknownWordsKeepThem)
{
    const std::string screen = "[Screen]\nwidth=96\nheight=64\nFrameSpeed=100\nQuality=100000\n"
                               "[System]\nWorkThreadPriority=0\n";
    std::ofstream(folder / "config.ini") << screen;
    ASSERT_EQ(Run(Media("mixed") + " plain.wmv"), 0) << messages;
    std::ofstream(folder / "config.ini") << screen << "[Picture]\nOrientation=ignore\nFit=stretch\nScaling=nearest\n";
    ASSERT_EQ(Run(Media("mixed") + " explicit.wmv"), 0) << messages;
    EXPECT_EQ(ReadFile("explicit.wmv"), ReadFile("plain.wmv"));

    std::ofstream(folder / "config.ini") << screen << "[Picture]\nFit=zoom\n";
    ASSERT_EQ(Run("--orientation sideways " + Media("mixed") + " unknown.wmv", "registered.reg", "en_US.UTF-8"), 0)
        << messages;
    EXPECT_NE(messages.find("config.ini: Fit=zoom is not stretch, letterbox or crop; stretch is used"),
              std::string::npos)
        << messages;
    EXPECT_NE(messages.find("Orientation=sideways is not ignore or exif; ignore is used"), std::string::npos)
        << messages;
    EXPECT_EQ(ReadFile("unknown.wmv"), ReadFile("plain.wmv"));

    // The options win over the file, and change the frames.
    std::ofstream(folder / "config.ini") << screen << "[Picture]\nFit=crop\n";
    ASSERT_EQ(Run("--fit letterbox --smooth --orientation exif " + Media("mixed") + " fitted.wmv"), 0) << messages;
    EXPECT_NE(ReadFile("fitted.wmv"), ReadFile("plain.wmv"));
    std::ofstream(folder / "config.ini") << screen << "[Picture]\nFit=letterbox\nScaling=smooth\nOrientation=exif\n";
    ASSERT_EQ(Run(Media("mixed") + " configured.wmv"), 0) << messages;
    EXPECT_EQ(ReadFile("configured.wmv"), ReadFile("fitted.wmv"));
}

TEST_F(ReelsmithMakeTest, TheOrderOfTheFileOrOfTheOptionIsTheMoviesOrder)
{
    const std::string pictures = ColourFolder({{"1.jpg", "red"}, {"2.jpg", "lime"}, {"10.jpg", "blue"}});
    const std::string screen = "[Screen]\nwidth=96\nheight=64\nFrameSpeed=100\nQuality=100000\n"
                               "[System]\nWorkThreadPriority=0\n";
    std::ofstream(folder / "config.ini") << screen;
    ASSERT_EQ(Run(pictures + " listing.wmv"), 0) << messages;
    EXPECT_EQ(FrameColours("listing.wmv", 96, 64), "rbg") << "1, 10, 2 as the folder lists them";
    ASSERT_EQ(Run("--order name " + pictures + " name.wmv"), 0) << messages;
    EXPECT_EQ(FrameColours("name.wmv", 96, 64), "rgb");

    std::ofstream(folder / "config.ini") << screen << "[Picture]\nOrder=NAME\n";
    ASSERT_EQ(Run(pictures + " configured.wmv"), 0) << messages;
    EXPECT_EQ(ReadFile("configured.wmv"), ReadFile("name.wmv"));
    ASSERT_EQ(Run("--order listing " + pictures + " overruled.wmv"), 0) << messages;
    EXPECT_EQ(ReadFile("overruled.wmv"), ReadFile("listing.wmv"));

    std::ofstream(folder / "config.ini") << screen << "[Picture]\nOrder=size\n";
    ASSERT_EQ(Run(pictures + " unknown.wmv", "registered.reg", "en_US.UTF-8"), 0) << messages;
    EXPECT_NE(messages.find("config.ini: Order=size is not listing, name, date or time; listing is used"),
              std::string::npos)
        << messages;
    EXPECT_EQ(ReadFile("unknown.wmv"), ReadFile("listing.wmv"));
}

TEST_F(ReelsmithMakeTest, AListOfNamesIsTheMoviesChoiceAndOrderAndUnknownNamesAreSaid)
{
    const std::string pictures =
        ColourFolder({{"1.jpg", "red"}, {"2.jpg", "lime"}, {"10.jpg", "blue"}, {"3.jpg", "red"}});
    const std::string screen = "[Screen]\nwidth=96\nheight=64\nFrameSpeed=100\nQuality=100000\n"
                               "[System]\nWorkThreadPriority=0\n";
    std::ofstream(folder / "config.ini") << screen;
    // CR LF line ends, a byte order mark, an empty line, a name twice, one not in the folder.
    std::ofstream(folder / "chosen.txt") << "\xEF\xBB\xBF"
                                         << "10.jpg\r\n2.jpg\n\nmissing.jpg\n10.jpg\n";
    ASSERT_EQ(Run("--list chosen.txt " + pictures + " listed.wmv", "registered.reg", "en_US.UTF-8"), 0) << messages;
    EXPECT_EQ(FrameColours("listed.wmv", 96, 64), "bgb") << "3.jpg and 1.jpg left out";
    EXPECT_NE(messages.find("The list's missing.jpg is no picture of the folder " + pictures + "; it is left out"),
              std::string::npos)
        << messages;

    // The settings file's List=, relative to the file's folder, gives the same movie.
    std::filesystem::create_directory(folder / "settings");
    std::filesystem::copy_file(folder / "chosen.txt", folder / "settings/chosen.txt");
    std::ofstream(folder / "settings/config.ini") << screen << "[Picture]\nList=chosen.txt\n";
    ASSERT_EQ(Run("--config settings/config.ini " + pictures + " keyed.wmv"), 0) << messages;
    EXPECT_EQ(ReadFile("keyed.wmv"), ReadFile("listed.wmv"));

    // A list of no picture of the folder, or none that can be read, makes no movie when asked for...
    std::ofstream(folder / "strangers.txt") << "a.jpg\n../colours/1.jpg\n";
    EXPECT_EQ(Run("--list strangers.txt " + pictures + " none.wmv", "registered.reg", "en_US.UTF-8"), 1);
    EXPECT_NE(messages.find("None of the list's names is a picture of the folder"), std::string::npos) << messages;
    EXPECT_EQ(Run("--list absent.txt " + pictures + " absent.wmv", "registered.reg", "en_US.UTF-8"), 1);
    EXPECT_NE(messages.find("The list of pictures absent.txt cannot be read"), std::string::npos) << messages;
    EXPECT_FALSE(Exists("none.wmv") || Exists("absent.wmv"));
    // ...and from the settings file is warned of, the whole folder used as without it.
    ASSERT_EQ(Run(pictures + " listing.wmv"), 0) << messages;
    std::ofstream(folder / "config.ini") << screen << "[Picture]\nList=strangers.txt\n";
    ASSERT_EQ(Run(pictures + " whole.wmv", "registered.reg", "en_US.UTF-8"), 0) << messages;
    EXPECT_NE(messages.find("every picture of the folder is used"), std::string::npos) << messages;
    EXPECT_EQ(ReadFile("whole.wmv"), ReadFile("listing.wmv"));
}

TEST_F(ReelsmithMakeTest, CommandLineMistakesAreExitTwo)
{
    EXPECT_EQ(Run("--help"), 0);
    // What the help promises for a missing config.ini is what such a run does (see
    // TwoRunsToOneOutputBothLandWholeMovies).
    FILE* help = popen((std::string(REELSMITH_MAKE_PATH) + " --help").c_str(), "r");
    ASSERT_NE(help, nullptr);
    std::string text;
    char line[256];
    while (std::fgets(line, sizeof line, help)) text += line;
    pclose(help);
    EXPECT_NE(text.find("640x480, 1000 ms per\n                 picture"), std::string::npos) << text;
    EXPECT_EQ(Run(Media("mixed")), 2);
    EXPECT_EQ(Run("--bogus " + Media("mixed") + " out.wmv"), 2);
    for (const char* rate : {"121", "-1", "x", "1000"}) {
        EXPECT_EQ(Run("--fps " + std::string(rate) + " " + Media("mixed") + " out.mp4"), 2) << rate;
        EXPECT_NE(messages.find("--fps には 0 から 120 までの整数を指定してください"), std::string::npos) << messages;
    }
    EXPECT_FALSE(Exists("out.mp4"));
    // An option at the end of the line without its value is named as such.
    for (const char* option : {"--fps", "--config", "--list", "--order"}) {
        EXPECT_EQ(Run(Media("mixed") + " out.mp4 " + option), 2) << option;
        EXPECT_NE(messages.find(std::string(option) + " の値がありません (--help を参照)"), std::string::npos)
            << messages;
    }
    EXPECT_EQ(Run("--version"), 0);
}

// The sample pictures, in the settings of the repository's config.ini, and at an odd
// size with sound; the digests are of the movies reelsmith-make writes since its colour
// conversion rounds exactly (Debian 12's FFmpeg 5.1). A frame rate is for MP4 and WebM
// only.
TEST_F(ReelsmithMakeTest, WmvMoviesStayTheBytesTheyWere)
{
    const std::string samples = SAMPLES_DIR;
    const std::string plain = "[Screen]\nwidth=640\nheight=480\nFrameSpeed=500\nQuality=185000\n"
                              "[System]\nWorkThreadPriority=0\n";
    const std::string odd = "[Screen]\nwidth=321\nheight=241\nFrameSpeed=400\nQuality=300000\n"
                            "[System]\nWorkThreadPriority=0\n";
    const struct {
        std::string config;
        std::string arguments;
        const char* digest;
    } movies[] = {
        {plain, "", "f7178773687f138f1fbc4c7858b5f447259a3c160778a6861bbec7b2241e430f"},
        {plain + "[Output]\nFrameRate=25\n", "", "f7178773687f138f1fbc4c7858b5f447259a3c160778a6861bbec7b2241e430f"},
        {odd, "--audio " + samples + "/chord.wav", "cb18c99f10cc802010e95d0d44b629bbeec4be47416e9e629a48802276753ffb"},
        {odd, "--fps 30 --preview --audio " + samples + "/chord.wav",
         "cb18c99f10cc802010e95d0d44b629bbeec4be47416e9e629a48802276753ffb"},
    };
    for (const auto& movie : movies) {
        std::ofstream(folder / "config.ini") << movie.config;
        ASSERT_EQ(Run(movie.arguments + " " + samples + " out.wmv"), 0) << messages;
        FILE* digest = popen(("sha256sum '" + (folder / "out.wmv").string() + "'").c_str(), "r");
        ASSERT_NE(digest, nullptr);
        char text[65] = {};
        const std::size_t read = std::fread(text, 1, 64, digest);
        pclose(digest);
        EXPECT_EQ(read, 64u);
        EXPECT_STREQ(text, movie.digest) << movie.config << movie.arguments;
    }
}

TEST_F(ReelsmithMakeTest, TheOutputNameChoosesMp4OrWebMAndTheFrameRateIsKept)
{
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=96\nheight=64\nFrameSpeed=200\nQuality=100000\n"
                                            "[System]\nWorkThreadPriority=0\n[Output]\nFrameRate=10\n";
    // Six pictures of 200 ms: 12 frames at the configured 10 a second, 30 at --fps 25.
    ASSERT_EQ(Run("--audio " + Media("short.wav") + " " + Media("mixed") + " OUT.MP4"), 0) << messages;
    auto streams = ProbeStreams((folder / "OUT.MP4").string());
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].codec, "h264");
    EXPECT_EQ(streams[0].width, 96);
    EXPECT_EQ(streams[0].frames, 12);
    EXPECT_EQ(streams[1].codec, "aac");
    EXPECT_EQ(streams[1].sampleRate, 48000);

    ASSERT_EQ(Run("--fps 25 " + Media("mixed") + " out.webm"), 0) << messages;
    streams = ProbeStreams((folder / "out.webm").string());
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].codec, "vp9");
    EXPECT_EQ(streams[0].frames, 30);

    ASSERT_EQ(Run("--fps 0 --audio " + Media("short.wav") + " " + Media("mixed") + " out.webm"), 0) << messages;
    streams = ProbeStreams((folder / "out.webm").string());
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].frames, 6) << "one frame per picture";
    EXPECT_EQ(streams[1].codec, "opus");
    EXPECT_EQ(HiddenFiles(), 0);
}

TEST_F(ReelsmithMakeTest, TheFormatGivesANameWithoutAnExtensionItsOwnAndAGivenExtensionWins)
{
    const std::string screen = "[Screen]\nwidth=96\nheight=64\nFrameSpeed=200\nQuality=100000\n"
                               "[System]\nWorkThreadPriority=0\n";
    std::ofstream(folder / "config.ini") << screen << "[Output]\nFormat=MP4   ; for the phone\n";
    ASSERT_EQ(Run(Media("mixed") + " holiday"), 0) << messages;
    EXPECT_FALSE(Exists("holiday"));
    auto streams = ProbeStreams((folder / "holiday.mp4").string());
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].codec, "h264");
    ASSERT_EQ(Run("--format webm " + Media("mixed") + " option"), 0) << messages;
    ASSERT_EQ(ProbeStreams((folder / "option.webm").string()).size(), 1u) << "the option wins over the file";
    ASSERT_EQ(Run("--format webm " + Media("mixed") + " named.wmv"), 0) << messages;
    EXPECT_FALSE(Exists("named.wmv.webm"));
    EXPECT_EQ(ProbeStreams((folder / "named.wmv").string())[0].codec, "wmv1");

    // Without the key a name without an extension is the WMV movie it always was.
    std::ofstream(folder / "config.ini") << screen;
    ASSERT_EQ(Run(Media("mixed") + " plain"), 0) << messages;
    EXPECT_EQ(ReadFile("plain"), ReadFile("named.wmv"));
    std::ofstream(folder / "config.ini") << screen << "[Output]\nFormat=mov\n";
    ASSERT_EQ(Run(Media("mixed") + " unknown", "registered.reg", "en_US.UTF-8"), 0) << messages;
    EXPECT_NE(messages.find("config.ini: Format=mov is not wmv, mp4 or webm; the output name's extension decides"),
              std::string::npos)
        << messages;
    EXPECT_EQ(ReadFile("unknown"), ReadFile("named.wmv"));
    EXPECT_EQ(Run("--format mov " + Media("mixed") + " out"), 2);
}

TEST_F(ReelsmithMakeTest, AFrameRateOutOfRangeKeepsOneFramePerPictureAndSaysSo)
{
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=96\nheight=64\nFrameSpeed=200\nQuality=100000\n"
                                            "[System]\nWorkThreadPriority=0\n[Output]\nFrameRate=500\n";
    ASSERT_EQ(Run(Media("mixed") + " out.mp4"), 0) << messages;
    EXPECT_NE(messages.find("config.ini: FrameRate=500 は 0..120 の範囲外です。0 を使います"), std::string::npos)
        << messages;
    const auto streams = ProbeStreams((folder / "out.mp4").string());
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].frames, 6);
    EXPECT_EQ(streams[0].width, 96) << "the other values are used";
}

} // namespace

// A Latin-1 name is a user's photo; a name that would break the line is shown escaped.
TEST_F(ReelsmithMakeTest, PicturesNamedInAnyEncodingAreReadAndNamedEscaped)
{
    const std::filesystem::path pictures = folder / "names";
    std::filesystem::create_directory(pictures);
    std::filesystem::copy_file(Media("mixed/a420.jpg"), pictures / "1-caf\xE9.jpg");
    std::ofstream(pictures / "2-bad\nname.jpg") << "no JPEG";
    EXPECT_EQ(Run("'" + pictures.string() + "' out.wmv"), 3) << messages;
    EXPECT_EQ(ProbeStreams((folder / "out.wmv").string()).size(), 1u);
    EXPECT_NE(messages.find("2-bad\\nname.jpg"), std::string::npos) << messages;
    EXPECT_EQ(messages.find("2-bad\nname.jpg"), std::string::npos) << messages;
}

// One picture shown for an hour at 120 frames a second is 432,000 copies of its frame:
// Ctrl-C in the middle of them still ends the run at once.
TEST_F(ReelsmithMakeTest, AStopWhileAPictureIsRepeatedIsHonouredAtOnce)
{
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=64\nheight=48\nFrameSpeed=3600000\nQuality=185000\n"
                                            "[System]\nWorkThreadPriority=0\n";
    const pid_t child = Start({"--fps", "120", LongFolder(1), "hour.mp4"}, (folder / "stderr.txt").string());
    // Repeating: the temporary has grown past its header.
    const auto written = [this] {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().filename().string().starts_with(".hour.mp4.") && entry.file_size() > 100'000) return true;
        }
        return false;
    };
    ASSERT_TRUE(WaitForFiles(written, 60)) << ReadFile("stderr.txt");
    kill(child, SIGINT);
    EXPECT_EQ(WaitFor(child, 10), 130) << ReadFile("stderr.txt");
    EXPECT_FALSE(Exists("hour.mp4"));
    EXPECT_EQ(HiddenFiles(), 0);
}

// `reelsmith-make ... 2>&1 | head -1`: the reader is gone before the first line.
TEST_F(ReelsmithMakeTest, StandardErrorThatIsNoTerminalGetsOnePlainLinePerPicture)
{
    ASSERT_EQ(Run(Media("mixed") + " plain.wmv"), 0) << messages;
    EXPECT_EQ(messages.find('\r'), std::string::npos) << messages;
    EXPECT_EQ(messages.find("\33["), std::string::npos) << messages;
    EXPECT_TRUE(std::regex_search(messages, std::regex("(^|\n)6/6\n"))) << messages;
    EXPECT_EQ(messages.find("枚/秒"), std::string::npos) << messages;
}

TEST_F(ReelsmithMakeTest, ATerminalGetsOneBarWithPercentRateAndTimeLeft)
{
    int terminal = -1;
    int side = -1;
    ASSERT_EQ(openpty(&terminal, &side, nullptr, nullptr, nullptr), 0);
    const pid_t child = Start({LongFolder(60), "bar.wmv"}, side);
    close(side);
    // Everything the tool writes, until it has ended and the terminal reads as closed.
    std::string screen;
    char chunk[4096];
    pollfd wait{terminal, POLLIN, 0};
    while (poll(&wait, 1, 60000) > 0) {
        const ssize_t got = read(terminal, chunk, sizeof chunk);
        if (got <= 0) break;
        screen.append(chunk, static_cast<std::size_t>(got));
    }
    close(terminal);
    EXPECT_EQ(WaitFor(child, 60), 0) << screen;
    EXPECT_FALSE(std::regex_search(screen, std::regex("(^|\n)[0-9]+/60\r?\n"))) << "no plain lines: " << screen;
    // Redrawn in place: each state starts at the line's beginning and clears what is left of it.
    EXPECT_TRUE(std::regex_search(screen, std::regex("\r\\[#{30}\\] 60/60 100%  [0-9.]+ 枚/秒  残り 0:00\x1b\\[K")))
        << screen;
    EXPECT_TRUE(std::regex_search(
        screen, std::regex("\r\\[#* *\\] ([0-9]|[1-5][0-9])/60 [0-9]+%  [0-9.]+ 枚/秒  残り [0-9]+:[0-9]{2}")))
        << screen;
    EXPECT_EQ(ProbeStreams((folder / "bar.wmv").string()).size(), 1u);
}

TEST_F(ReelsmithMakeTest, AStandardErrorNobodyReadsStillGivesTheMovie)
{
    int pipe[2];
    ASSERT_EQ(pipe2(pipe, O_CLOEXEC), 0);
    close(pipe[0]);
    const pid_t child = Start({Media("mixed"), "unread.mp4"}, pipe[1]);
    close(pipe[1]);
    EXPECT_EQ(WaitFor(child, 120), 0);
    EXPECT_EQ(ProbeStreams((folder / "unread.mp4").string()).size(), 1u);
    EXPECT_EQ(HiddenFiles(), 0);
}

TEST_F(ReelsmithMakeTest, AFifoAsTheOutputIsRefusedSayingWhyAndStaysAFifo)
{
    ASSERT_EQ(mkfifo((folder / "pipe.wmv").c_str(), 0644), 0);
    EXPECT_EQ(Run(Media("mixed") + " pipe.wmv"), 1);
    EXPECT_NE(messages.find("pipe.wmv"), std::string::npos) << messages;
    EXPECT_NE(messages.find("0x800700de): 通常のファイルではありません"), std::string::npos) << messages;
    EXPECT_TRUE(std::filesystem::is_fifo(folder / "pipe.wmv"));
    EXPECT_EQ(HiddenFiles(), 0);
}

TEST_F(ReelsmithMakeTest, SlideShowOptionsWinOverTheFileAndABadValueIsAUsageErrorNamingTheOption)
{
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=96\nheight=64\nFrameSpeed=200\nQuality=100000\n"
                                            "[System]\nWorkThreadPriority=0\n[Show]\nMinPictureMs=5000\n";
    // Fitted to the 0.7 s sound the six pictures would get 117 ms each; the file's least
    // time makes it 30 s, the option's 300 ms a picture.
    ASSERT_EQ(Run("--fit-to-sound --min-picture-ms 300 --audio-fade-out-ms 200 --audio " + Media("short.wav") + " " +
                  Media("mixed") + " fitted.mp4"),
              0)
        << messages;
    auto streams = ProbeStreams((folder / "fitted.mp4").string());
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_NEAR(streams[0].duration, 1.8, 0.04);
    EXPECT_EQ(streams[0].frames, 6) << "still pictures: one frame each";
    // A moving show without --fps is made at 25 frames a second.
    ASSERT_EQ(Run("--transition crossfade --transition-ms 100 " + Media("mixed") + " moving.mp4"), 0) << messages;
    streams = ProbeStreams((folder / "moving.mp4").string());
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].frames, 30);

    const struct {
        const char* arguments;
        const char* said;
    } mistakes[] = {
        {"--transition dissolve", "--transition の値 dissolve は使えません: Transition=dissolve は none、"},
        {"--transition-ms 70000",
         "--transition-ms の値 70000 は使えません: TransitionMs=70000 は 0..60000 の範囲外です"},
        {"--caption-size big", "--caption-size の値 big は使えません: CaptionSize=big は整数ではありません"},
        {"--min-picture-ms 0", "--min-picture-ms の値 0 は使えません"},
    };
    for (const auto& mistake : mistakes) {
        EXPECT_EQ(Run(std::string(mistake.arguments) + " " + Media("mixed") + " bad.mp4"), 2) << mistake.arguments;
        EXPECT_NE(messages.find(mistake.said), std::string::npos) << messages;
    }
    EXPECT_EQ(Run(Media("mixed") + " bad.mp4 --motion"), 2);
    EXPECT_NE(messages.find("--motion の値がありません"), std::string::npos) << messages;
    EXPECT_FALSE(Exists("bad.mp4"));
}
