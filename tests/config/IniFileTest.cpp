#include "config/IniFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class IniFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "inifile-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }

    void TearDown() override { fs::remove_all(folder); }

    std::string Write(const std::string& content)
    {
        const std::string path = (folder / ("f" + std::to_string(fileCount++) + ".ini")).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // Loads the content and returns what the reader printed on standard output.
    std::string Load(IniFile& ini, bool& loaded)
    {
        CaptureStdout();
        loaded = ini.Load();
        return GetCapturedStdout();
    }

    // Content that must load cleanly: Load answers true and prints nothing.
    IniFile LoadClean(const std::string& content)
    {
        IniFile ini(Write(content));
        bool loaded = false;
        EXPECT_EQ(Load(ini, loaded), "");
        EXPECT_TRUE(loaded);
        return ini;
    }

    fs::path folder;
    int fileCount = 0;
};

TEST_F(IniFileTest, ReadsSettingsWithAnyLineEnd)
{
    const std::vector<std::string> lineEnds = {"\n", "\r\n"};
    for (const std::string& end : lineEnds) {
        for (bool finalLineEnd : {true, false}) {
            SCOPED_TRACE(testing::Message() << "CR=" << (end.size() == 2) << " final=" << finalLineEnd);
            const IniFile ini =
                LoadClean("[Screen]" + end + "width=640" + end + "height=480" + (finalLineEnd ? end : ""));
            EXPECT_EQ(ini.GetInt("Screen", "width", -1), 640);
            EXPECT_EQ(ini.GetInt("SCREEN", "WIDTH", -1), 640);
            EXPECT_EQ(ini.GetValue("Screen", "height", "?"), "480");
            EXPECT_EQ(ini.GetInt("Screen", "depth", -1), -1);
            EXPECT_EQ(ini.GetInt("Video", "width", -1), -1);
        }
    }
}

TEST_F(IniFileTest, NonPrintableFirstCharacterStopsTheLoad)
{
    struct Case {
        std::string content;
        std::string printed;
    };
    const std::vector<Case> cases = {
        {"\t[Screen]\nwidth=640\n", "Failing on char 9\n"},
        {"[Screen]\r\n\r\r\nwidth=640\r\n", "Failing on char 0\n"},
        {"[Screen]\nwidth=640\n\r", "Failing on char 0\n"},
        {"[Screen]\n\x7Fwidth=640\n", "Failing on char 127\n"},
        {std::string("[Screen]\n\0width=640\n", 19), "Failing on char 0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.printed);
        IniFile ini(Write(c.content));
        bool loaded = true;
        EXPECT_EQ(Load(ini, loaded), c.printed);
        EXPECT_FALSE(loaded);
    }
}

TEST_F(IniFileTest, FailureKeepsWhatWasReadBeforeIt)
{
    IniFile ini(Write("[A]\nk=v\n y=1\n\tbad\nm=n\n"));
    bool loaded = true;
    EXPECT_EQ(Load(ini, loaded), "Failing on char 9\n");
    EXPECT_FALSE(loaded);
    EXPECT_EQ(ini.GetValue("A", "k", "?"), "v");
    EXPECT_EQ(ini.GetValue("A", " y", "?"), "1");
    EXPECT_EQ(ini.GetValue("A", "m", "?"), "?");
}

TEST_F(IniFileTest, CarriageReturnsInsideAndAtTheEndOfALine)
{
    const IniFile ini = LoadClean("[A]\r\n\r\nk=v\r\r\nlone=a\rb\nlast=z\r");
    EXPECT_EQ(ini.GetValue("A", "k", "?"), "v");
    EXPECT_EQ(ini.GetValue("A", "lone", "?"), "a\rb");
    EXPECT_EQ(ini.GetValue("A", "last", "?"), "z");
}

TEST_F(IniFileTest, CommentsGoToTheHeaderOrTheCurrentSection)
{
    const IniFile ini = LoadClean("; note\n#second\n[A]\n; note\nx;y=z\na=b;c\n[B]\nignored #tail\n");
    EXPECT_EQ(ini.HeaderComments(), (std::vector<std::string>{" note", "second"}));
    ASSERT_EQ(ini.Sections().size(), 2u);
    EXPECT_EQ(ini.Sections()[0].comments, (std::vector<std::string>{" note", "y=z"}));
    EXPECT_EQ(ini.Sections()[0].keyNames, std::vector<std::string>{"a"});
    EXPECT_EQ(ini.GetValue("A", "a", "?"), "b;c");
    EXPECT_EQ(ini.Sections()[1].comments, std::vector<std::string>{"tail"});
}

TEST_F(IniFileTest, SectionHeaders)
{
    const IniFile ini = LoadClean("[A]\n[Screen\nk=1\nsize[2]=5\nq=2\n[x[y]z]\nr=3\nm]n[o\ns=4\n");
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"A", "2", "x[y]z"}));
    EXPECT_EQ(ini.GetValue("A", "k", "?"), "1");
    EXPECT_EQ(ini.GetValue("2", "q", "?"), "2");
    EXPECT_EQ(ini.GetValue("A", "size[2]", "?"), "?");
    EXPECT_EQ(ini.GetValue("x[y]z", "s", "?"), "4");
}

TEST_F(IniFileTest, RepeatedSectionsAndKeysMergeIntoTheFirst)
{
    const IniFile ini = LoadClean("[Screen]\nWidth=1\nheight=2\n[SCREEN]\nWIDTH=3\ndepth=4\n[screen]\nwidth=5\n");
    ASSERT_EQ(ini.SectionNames(), (std::vector<std::string>{"Screen", "SCREEN", "screen"}));
    const IniSection& first = ini.Sections()[0];
    EXPECT_EQ(first.keyNames, (std::vector<std::string>{"Width", "height", "depth"}));
    EXPECT_EQ(first.values, (std::vector<std::string>{"5", "2", "4"}));
    EXPECT_TRUE(ini.Sections()[1].keyNames.empty());
    EXPECT_TRUE(ini.Sections()[2].keyNames.empty());
}

TEST_F(IniFileTest, NamesAndValuesAreNotTrimmed)
{
    const IniFile ini = LoadClean("[ Screen ]\nwidth = 640\n=empty\nkey=\n");
    EXPECT_EQ(ini.FindSection("Screen"), -1);
    EXPECT_EQ(ini.GetValue(" Screen ", "width", "?"), "?");
    EXPECT_EQ(ini.GetValue(" screen ", "width ", "?"), " 640");
    EXPECT_EQ(ini.GetInt(" Screen ", "width ", -1), 640);
    EXPECT_EQ(ini.GetValue(" Screen ", "", "?"), "empty");
    EXPECT_EQ(ini.GetValue(" Screen ", "key", "?"), "");
}

TEST_F(IniFileTest, KeysBeforeAnySectionMakeAnUnnamedSection)
{
    const IniFile ini = LoadClean("k=v\n; after the key\n");
    ASSERT_EQ(ini.SectionNames(), std::vector<std::string>{""});
    EXPECT_EQ(ini.GetValue("", "K", "?"), "v");
    EXPECT_TRUE(ini.HeaderComments().empty());
    EXPECT_EQ(ini.Sections()[0].comments, std::vector<std::string>{" after the key"});
}

TEST_F(IniFileTest, FilesWithoutSectionsDoNotLoad)
{
    for (const char* content : {"", "\n\n", "; a\n\n# b\n", "plain text\n", "[open\n"}) {
        IniFile ini(Write(content));
        bool loaded = true;
        EXPECT_EQ(Load(ini, loaded), "");
        EXPECT_FALSE(loaded) << content;
    }
}

TEST_F(IniFileTest, MissingOrUnreadableFileFailsSilently)
{
    for (const std::string& path : {(folder / "absent.ini").string(), folder.string()}) {
        IniFile ini(path);
        bool loaded = true;
        EXPECT_EQ(Load(ini, loaded), "");
        EXPECT_FALSE(loaded);
        EXPECT_EQ(ini.Path(), path);
    }
}

TEST_F(IniFileTest, OversizedFileIsRefused)
{
    const std::string header = "[A]\nk=v\n";
    const std::string filler(IniFile::kMaxFileBytes - header.size() - 1, ';');
    EXPECT_EQ(LoadClean(header + filler + "\n").SectionNames().size(), 1u);

    IniFile tooLarge(Write(header + filler + "\n\n"));
    bool loaded = true;
    // Silently, as a missing file: the program's standard output is not the place to say it.
    EXPECT_EQ(Load(tooLarge, loaded), "");
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(tooLarge.SectionNames().empty());
}

TEST_F(IniFileTest, HighBytesAndByteOrderMark)
{
    const IniFile ini = LoadClean("\xEF\xBB\xBFk=bom\n[Vid\xC3\xA9o]\n\xC3\xA9t\xC3\xA9=1\n\xC3\x84=2\n\xC4=3\n");
    EXPECT_EQ(ini.GetValue("", "k", "?"), "bom");
    EXPECT_EQ(ini.GetInt("VID\xC3\xA9O", "\xC3\xA9T\xC3\xA9", -1), 1);
    // Only A-Z fold: neither UTF-8 nor Latin-1 capitals match their small letters.
    EXPECT_EQ(ini.GetInt("Vid\xC3\xA9o", "\xC3\xA4", -1), -1);
    EXPECT_EQ(ini.GetInt("Vid\xC3\xA9o", "\xE4", -1), -1);
    EXPECT_EQ(ini.GetInt("Vid\xC3\xA9o", "\xC4", -1), 3);
}

TEST_F(IniFileTest, GetIntReadsLikeAtoiAndSaturates)
{
    const std::vector<std::pair<std::string, int>> cases = {
        {" \t42", 42},
        {"+7", 7},
        {"-12", -12},
        {"640px", 640},
        {"px640", 0},
        {"", 0},
        {"-", 0},
        {"- 5", 0},
        {"0012", 12},
        {"1 2", 1},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"99999999999999999999999", INT_MAX},
    };
    std::string content = "[N]\n";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        content += "k" + std::to_string(i) + "=" + cases[i].first + "\n";
    }
    const IniFile ini = LoadClean(content);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(ini.GetInt("N", "k" + std::to_string(i), -1), cases[i].second) << '"' << cases[i].first << '"';
    }
    for (int fallback : {INT_MIN, -1, 0, INT_MAX}) {
        EXPECT_EQ(ini.GetInt("N", "absent", fallback), fallback);
    }
}

TEST_F(IniFileTest, EditingOperations)
{
    IniFile ini(Write(""));
    EXPECT_FALSE(ini.SetValue("S", "k", "v", false));
    EXPECT_EQ(ini.AddSection("S"), 0);
    EXPECT_EQ(ini.AddSection("s"), 1);
    EXPECT_FALSE(ini.SetValue("S", "k", "v", false));
    EXPECT_TRUE(ini.SetValue("s", "k", "v", true));
    EXPECT_TRUE(ini.SetValue("S", "K", "w", false));
    EXPECT_EQ(ini.Sections()[0].values, std::vector<std::string>{"w"});
    EXPECT_EQ(ini.FindKey(0, "K"), 0);
    EXPECT_EQ(ini.FindKey(1, "k"), -1);
    EXPECT_EQ(ini.FindKey(2, "k"), -1);
    EXPECT_EQ(ini.FindKey(-1, "k"), -1);
    EXPECT_FALSE(ini.AddSectionComment(2, "x"));
    EXPECT_FALSE(ini.AddSectionComment(-1, "x"));
    EXPECT_FALSE(ini.AddSectionComment("T", "x"));
    EXPECT_TRUE(ini.AddSectionComment("S", "x"));
    EXPECT_EQ(ini.Sections()[0].comments, std::vector<std::string>{"x"});
    EXPECT_EQ(ini.FoldCase("AbZ\xC3\x84"), "abz\xC3\x84");
}

} // namespace
