// Caption texts: the file name, the Exif date and the captions file, its accepted
// forms and the files it refuses.
#include "picsource/PictureCaptions.h"
#include "picsource/ShowOptions.h"
#include "platform/base/WideText.h"
#include "tests/common/ExifBlock.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

class CaptionsFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/captions-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        wideFolder = WideFromUtf8(folder.string() + "/");
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::u16string Write(const char* name, const std::string& bytes)
    {
        std::ofstream(folder / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return wideFolder + WideFromUtf8(name);
    }
    HRESULT LoadText(const std::string& bytes) { return captions.Load(CaptionFromFile, Write("captions.txt", bytes)); }
    std::string Text(const char16_t* name) const { return captions.TextFor(wideFolder, name); }

    std::filesystem::path folder;
    std::u16string wideFolder;
    PictureCaptions captions;
};

} // namespace

TEST_F(CaptionsFolder, CaptionsFileWithBomCrlfCommentsAndJapanese)
{
    ASSERT_EQ(LoadText("\xEF\xBB\xBF# holiday\r\n\r\nIMG_1.jpg\t\xE6\xB5\xB7\xE8\xBE\xBA\xE3\x81\xAE\xE5\xA4\x95\xE6"
                       "\x97\xA5\r\n  \t \nb.JPG\tTwo\ttabs\n\xE5\x86\x99\xE7\x9C\x9F.jpg\t#1 not a comment"),
              S_OK);
    EXPECT_EQ(captions.LastBadLine(), 0);
    EXPECT_EQ(Text(u"IMG_1.jpg"), "\xE6\xB5\xB7\xE8\xBE\xBA\xE3\x81\xAE\xE5\xA4\x95\xE6\x97\xA5");
    // Names compare as the folder lists them: without letter case.
    EXPECT_EQ(Text(u"img_1.JPG"), Text(u"IMG_1.jpg"));
    EXPECT_EQ(Text(u"b.jpg"), "Two tabs");
    EXPECT_EQ(Text(u"\u5199\u771f.jpg"), "#1 not a comment");
    EXPECT_EQ(Text(u"c.jpg"), "");
    EXPECT_EQ(Text(u"# holiday"), "");
}

TEST_F(CaptionsFolder, RefusedFileNamesItsLineAndKeepsTheCaptionsBefore)
{
    ASSERT_EQ(LoadText("a.jpg\tFirst\n"), S_OK);
    const struct {
        std::string bytes;
        HRESULT expected;
        long line;
    } cases[] = {
        {"a.jpg\tA\r\n\r\nno tab here\r\n", CAPTIONS_E_NO_TAB, 3},
        {"# names first\n\tText without a name\n", CAPTIONS_E_NO_TAB, 2},
        {"a.jpg\tA\nb.jpg\t\xE9t\xE9\n", CAPTIONS_E_NOT_UTF8, 2},
        {"# \xFF comment\n", CAPTIONS_E_NOT_UTF8, 1},
        {"a.jpg\tA\nA.JPG\tB\n", CAPTIONS_E_DUPLICATE, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadText(c.bytes), c.expected) << c.bytes;
        EXPECT_EQ(captions.LastBadLine(), c.line) << c.bytes;
        EXPECT_EQ(Text(u"a.jpg"), "First") << c.bytes;
    }
    EXPECT_EQ(LoadText(std::string(PictureCaptions::kMaxFileBytes + 1, '#')), CAPTIONS_E_TOO_LARGE);
    EXPECT_EQ(captions.LastBadLine(), 0);
    EXPECT_EQ(captions.Load(CaptionFromFile, wideFolder + u"missing.txt"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(captions.Load(CaptionFromFile, wideFolder), HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE));
    EXPECT_EQ(captions.Load(CaptionFromFile, u""), E_INVALIDARG);
    EXPECT_EQ(captions.Load(CaptionFromFile + 1, u""), E_INVALIDARG);
    EXPECT_EQ(Text(u"a.jpg"), "First");
    // A file at the cap is read.
    EXPECT_EQ(LoadText("a.jpg\tLast\n" + std::string(PictureCaptions::kMaxFileBytes - 11, '\n')), S_OK);
    EXPECT_EQ(Text(u"a.jpg"), "Last");
}

TEST_F(CaptionsFolder, FileNameAndDateTexts)
{
    ASSERT_EQ(captions.Load(CaptionNone, u"ignored.txt"), S_OK);
    EXPECT_EQ(Text(u"a.jpg"), "");

    ASSERT_EQ(captions.Load(CaptionFileName, u""), S_OK);
    EXPECT_EQ(Text(u"Beach at dusk.jpg"), "Beach at dusk");
    EXPECT_EQ(Text(u"\u5199\u771f.JPG"), "\xE5\x86\x99\xE7\x9C\x9F");
    EXPECT_EQ(Text(u".jpg"), ".jpg");
    // A name in another encoding than UTF-8 shows its stray byte as U+FFFD.
    EXPECT_EQ(Text(u"caf\xDCE9.jpg"), "caf\xEF\xBF\xBD");

    // An Exif block whose first directory holds DateTime (0x0132) as ASCII.
    exiftest::Bytes body = exiftest::ExifBody(false, {{0x0132, 2, 20, 26}});
    const std::string date = "2024:05:01 10:11:12";
    body.insert(body.end(), date.begin(), date.end());
    body.push_back(0);
    const exiftest::Bytes jpeg = exiftest::WithApp1({0xFF, 0xD8, 0xFF, 0xD9}, body);
    Write("dated.jpg", std::string(jpeg.begin(), jpeg.end()));
    Write("undated.jpg", "\xFF\xD8\xFF\xD9");
    ASSERT_EQ(captions.Load(CaptionDate, u""), S_OK);
    EXPECT_EQ(Text(u"dated.jpg"), "2024-05-01");
    EXPECT_EQ(Text(u"undated.jpg"), "");
    EXPECT_EQ(Text(u"missing.jpg"), "");
}
