// The orders a user can choose for the pictures: natural name order, the Exif date taken
// and the file's time, on their own and through the real filter.
#include "tests/picsource/PicsourceFixture.h"

#include "jpeg/Exif.h"
#include "picsource/PictureDate.h"
#include "picsource/PictureFolder.h"
#include "platform/base/WideText.h"
#include "tests/common/ExifBlock.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

using Names = std::vector<std::u16string>;

Names ByName(const Names& listed) { return PictureFolder::Ordered(u"/", listed, OrderName); }

// An Exif body whose first directory holds DateTime and links an Exif directory holding
// DateTimeOriginal, each left out when empty; strings follow the directories.
exiftest::Bytes DateBody(bool bigEndian, const std::string& original, const std::string& dateTime)
{
    const std::uint32_t entries = !original.empty() + !dateTime.empty();
    const std::uint32_t data = 8 + 2 + 12 * entries + 4;
    const std::uint32_t subDirectory = data + 20;
    exiftest::TiffWriter t(bigEndian);
    for (const char c : std::string("Exif\0\0", 6)) t.bytes.push_back(static_cast<std::uint8_t>(c));
    t.bytes.push_back(bigEndian ? 'M' : 'I');
    t.bytes.push_back(bigEndian ? 'M' : 'I');
    t.U16(42);
    t.U32(8);
    t.U16(entries);
    if (!dateTime.empty()) {
        t.U16(0x0132), t.U16(2), t.U32(20), t.U32(data);
    }
    if (!original.empty()) {
        t.U16(0x8769), t.U16(4), t.U32(1), t.U32(subDirectory);
    }
    t.U32(0);
    const auto text = [&t](const std::string& date) {
        std::string field = date;
        field.resize(20, '\0');
        t.bytes.insert(t.bytes.end(), field.begin(), field.end());
    };
    text(dateTime);
    t.U16(1), t.U16(0x9003), t.U16(2), t.U32(20), t.U32(subDirectory + 18), t.U32(0);
    text(original);
    return t.bytes;
}

exiftest::Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return exiftest::Bytes(std::istreambuf_iterator<char>(in), {});
}

void SetModified(const std::filesystem::path& path, std::time_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

class PictureOrderFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/picture-order-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    void Write(const char* name, const exiftest::Bytes& bytes, std::time_t modified)
    {
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        SetModified(folder / name, modified);
    }
    Names Ordered(long order)
    {
        const std::u16string path = WideFromUtf8(folder.string() + "/");
        return PictureFolder::Ordered(path, PictureFolder::List(path), order);
    }
    std::filesystem::path folder;
};

constexpr std::time_t kYear2000 = 946'684'800;
constexpr std::time_t kYear = 365 * 86'400;

} // namespace

TEST(PictureOrder, NumbersInNamesCompareByValue)
{
    EXPECT_EQ(ByName({u"1.jpg", u"10.jpg", u"2.jpg"}), (Names{u"1.jpg", u"2.jpg", u"10.jpg"}));
    EXPECT_EQ(ByName({u"IMG_10.JPG", u"IMG_9.JPG"}), (Names{u"IMG_9.JPG", u"IMG_10.JPG"}));
    // Leading zeros count for nothing: 08 is before 9, 010 after it.
    EXPECT_EQ(ByName({u"010.jpg", u"9.jpg", u"08.jpg", u"0.jpg"}), (Names{u"0.jpg", u"08.jpg", u"9.jpg", u"010.jpg"}));
    // Runs longer than any machine integer.
    const Names longRuns = {u"123456789012345678901234567890.jpg", u"99999999999999999999999999999.jpg",
                            u"123456789012345678901234567889.jpg"};
    EXPECT_EQ(ByName(longRuns), (Names{longRuns[1], longRuns[2], longRuns[0]}));
    // Several runs, and a run against a letter.
    EXPECT_EQ(ByName({u"a2b10.jpg", u"a2b9.jpg", u"a10b1.jpg", u"ab.jpg"}),
              (Names{u"a2b9.jpg", u"a2b10.jpg", u"a10b1.jpg", u"ab.jpg"}));
    // Letter case is ignored, beyond ASCII too, and a Latin-1 byte that is not UTF-8
    // (a lone surrogate) still has its numbers read.
    EXPECT_EQ(ByName({u"b10.jpg", u"B2.jpg", u"a3.jpg"}), (Names{u"a3.jpg", u"B2.jpg", u"b10.jpg"}));
    EXPECT_EQ(ByName({u"\u00e910.jpg", u"\u00c92.jpg"}), (Names{u"\u00c92.jpg", u"\u00e910.jpg"}));
    EXPECT_EQ(ByName({u"\xDCE9"
                      u"10.jpg",
                      u"\xDCE9"
                      u"2.jpg",
                      u"z.jpg"}),
              (Names{u"z.jpg",
                     u"\xDCE9"
                     u"2.jpg",
                     u"\xDCE9"
                     u"10.jpg"}));
    EXPECT_EQ(ByName({u"\u5199\u771f12.jpg", u"\u5199\u771f3.jpg"}),
              (Names{u"\u5199\u771f3.jpg", u"\u5199\u771f12.jpg"}));
}

TEST(PictureOrder, NamesEqualByValueKeepTheListedOrder)
{
    for (const Names& listed :
         {Names{u"IMG_07.jpg", u"img_7.jpg", u"IMG_7.jpg"}, Names{u"img_7.jpg", u"IMG_7.jpg", u"IMG_07.jpg"}}) {
        EXPECT_EQ(ByName(listed), listed);
        EXPECT_FALSE(PictureFolder::NamesBefore(listed[0], listed[1]));
        EXPECT_FALSE(PictureFolder::NamesBefore(listed[1], listed[0]));
    }
    EXPECT_EQ(PictureFolder::Ordered(u"/", {u"b.jpg", u"a.jpg"}, OrderListing), (Names{u"b.jpg", u"a.jpg"}));
}

TEST(PictureOrder, TheDateTakenIsReadSafelyFromEveryCutOfTheBlock)
{
    for (const bool bigEndian : {true, false}) {
        const exiftest::Bytes body = DateBody(bigEndian, "2022:05:01 10:11:12", "2019:01:02 03:04:05");
        xtpjpeg::ExifDateTime date;
        ASSERT_TRUE(xtpjpeg::exifDateTaken(body.data(), body.size(), date));
        EXPECT_EQ((std::vector<int>{date.year, date.month, date.day, date.hour, date.minute, date.second}),
                  (std::vector<int>{2022, 5, 1, 10, 11, 12}));
        // Cut short, the original date is gone; what is read is then DateTime or nothing.
        for (std::size_t size = 0; size + 1 < body.size(); ++size) {
            const exiftest::Bytes cut(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(size));
            xtpjpeg::ExifDateTime part;
            if (xtpjpeg::exifDateTaken(cut.data(), cut.size(), part)) {
                EXPECT_EQ(part.year, 2019) << size;
            }
        }
    }
    xtpjpeg::ExifDateTime date;
    const exiftest::Bytes unknown = DateBody(true, "    :  :     :  :  ", "");
    EXPECT_FALSE(xtpjpeg::exifDateTaken(unknown.data(), unknown.size(), date));
    const exiftest::Bytes badMonth = DateBody(true, "2022:13:01 10:11:12", "");
    EXPECT_FALSE(xtpjpeg::exifDateTaken(badMonth.data(), badMonth.size(), date));
    // A directory link far outside the block.
    const exiftest::Bytes farLink =
        exiftest::ExifBody(false, {{0x8769, 4, 1, 0xFFFFFFF0}, {0x0132, 2, 20, 0xFFFFFFF0}});
    EXPECT_FALSE(xtpjpeg::exifDateTaken(farLink.data(), farLink.size(), date));
}

TEST_F(PictureOrderFolder, DateOrderTakesTheExifDateElseTheFileTimeAndTimeOrderTheFileTime)
{
    const exiftest::Bytes jpeg = ReadBytes(PictureFolderUtf8("tiny") + "/1.jpg");
    Write("a.jpg", exiftest::WithApp1(jpeg, DateBody(true, "2022:05:01 10:00:00", "2019:01:01 00:00:00")),
          kYear2000 + 10 * kYear);
    Write("b.jpg", exiftest::WithApp1(jpeg, DateBody(false, "", "2020:01:01 00:00:00")), kYear2000 + 13 * kYear);
    Write("c.jpg", jpeg, kYear2000 + 21 * kYear + 150 * 86'400);
    Write("d.jpg", exiftest::WithApp1(jpeg, DateBody(true, "    :  :     :  :  ", "")), kYear2000 + 18 * kYear);
    Write("e.jpg", exiftest::WithApp1(jpeg, DateBody(true, "2020:01:01 00:00:00", "")), kYear2000 + 13 * kYear);
    // Its Exif lies beyond the bytes read for a date, after two large segments of padding.
    exiftest::Bytes late = exiftest::WithApp1(jpeg, DateBody(true, "2030:01:01 00:00:00", ""));
    const exiftest::Bytes padding(65'533, 0);
    for (int i = 0; i < 2; ++i) {
        exiftest::Bytes segment = {0xFF, 0xE2, 0xFF, 0xFF};
        segment.insert(segment.end(), padding.begin(), padding.end());
        late.insert(late.begin() + 2, segment.begin(), segment.end());
    }
    Write("f.jpg", late, kYear2000);
    EXPECT_EQ(Ordered(OrderDate), (Names{u"f.jpg", u"d.jpg", u"b.jpg", u"e.jpg", u"c.jpg", u"a.jpg"}));
    EXPECT_EQ(Ordered(OrderTime), (Names{u"f.jpg", u"a.jpg", u"b.jpg", u"e.jpg", u"d.jpg", u"c.jpg"}));
    EXPECT_EQ(PictureDate::Modified((folder / "c.jpg").string()).seconds, kYear2000 + 21 * kYear + 150 * 86'400);
}

TEST_F(PicsourceTest, FramesComeInTheChosenOrder)
{
    char pattern[] = "/tmp/picsource-order-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path folder = pattern;
    const char* const sources[] = {"1.jpg", "2.jpg", "3.jpg"};
    const char* const names[] = {"2.jpg", "10.jpg", "1.jpg"};
    for (int i = 0; i < 3; ++i)
        std::filesystem::copy_file(PictureFolderUtf8("tiny") + "/" + sources[i], folder / names[i]);
    LONG order = -1;
    ASSERT_EQ(config->GetPictureOrder(&order), S_OK);
    EXPECT_EQ(order, OrderListing);
    EXPECT_EQ(config->SetPictureOrder(OrderTime + 1), E_INVALIDARG);
    ASSERT_EQ(config->SetFolder(WideFromUtf8(folder.string()).c_str()), S_OK);
    // Set after the folder, the order applies to the list in place.
    ASSERT_EQ(config->SetPictureOrder(OrderName), S_OK);
    LONG width = 64, height = 48;
    ASSERT_EQ(config->SetVideoSize(&width, &height), S_OK);
    ASSERT_EQ(ConnectSink(), S_OK);
    EXPECT_EQ(config->SetPictureOrder(OrderListing), S_OK);
    ASSERT_EQ(config->SetPictureOrder(OrderName), S_OK);
    WCHAR buffer[MAX_PATH];
    ASSERT_EQ(config->GetPictureName(2, buffer, MAX_PATH), S_OK);
    EXPECT_EQ(Utf8FromWide(buffer), folder.string() + "/10.jpg");

    ASSERT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(config->SetPictureOrder(OrderListing), E_INVALIDARG) << "only while stopped";
    ASSERT_TRUE(sink.WaitForEndOfStream());
    ASSERT_EQ(filter->Stop(), S_OK);
    const auto frames = sink.Frames();
    ASSERT_EQ(frames.size(), 3u);
    const char* const expected[] = {"3.jpg", "1.jpg", "2.jpg"}; // the sources of 1, 2 and 10
    for (int i = 0; i < 3; ++i) {
        const DecodedPicture picture = DecodeJpeg(PictureFolderUtf8("tiny") + "/" + expected[i]);
        EXPECT_EQ(frames[i].bytes, ExpectedFrame(picture, 64, 48)) << i;
    }
    std::filesystem::remove_all(folder);
}
