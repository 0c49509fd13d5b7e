// The pictures a client chooses by name, the folder's names in an order, and the
// thumbnails, through IPictureSourceConfig.
#include "picsource/FrameBuilder.h"
#include "platform/base/WideText.h"
#include "tests/picsource/PicsourceFixture.h"

#include <filesystem>

namespace {

using Names = std::vector<std::u16string>;

class PictureListTest : public PicsourceTest {
protected:
    HRESULT Choose(const Names& names)
    {
        std::vector<LPCWSTR> pointers;
        for (const std::u16string& name : names) pointers.push_back(name.c_str());
        return config->SetPictureList(pointers.data(), static_cast<LONG>(pointers.size()));
    }
    // The names (no folder) of the list in force.
    Names Listed()
    {
        LONG count = 0;
        EXPECT_EQ(config->GetPictureCount(&count), S_OK);
        Names names;
        for (LONG i = 0; i < count; ++i) {
            WCHAR path[MAX_PATH];
            EXPECT_EQ(config->GetPictureName(i, path, MAX_PATH), S_OK);
            const std::u16string whole(path);
            names.push_back(whole.substr(whole.find_last_of(u'/') + 1));
        }
        return names;
    }
    Names FolderPictures(LONG order)
    {
        LONG needed = 0;
        EXPECT_EQ(config->GetFolderPictures(order, nullptr, 0, &needed), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
        std::u16string all(static_cast<std::size_t>(needed), u'?');
        EXPECT_EQ(config->GetFolderPictures(order, all.data(), needed, &needed), S_OK);
        EXPECT_EQ(all.substr(all.size() - 2), std::u16string(2, u'\0')) << "ends with two zeros";
        Names names;
        for (std::size_t at = 0; all[at] != u'\0'; at = all.find(u'\0', at) + 1)
            names.push_back(all.substr(at, all.find(u'\0', at) - at));
        return names;
    }
    // A folder of copies of one small picture under the given names.
    std::filesystem::path CopiesNamed(const std::vector<std::string>& names)
    {
        char pattern[] = "/tmp/picsource-list-XXXXXX";
        made = mkdtemp(pattern);
        for (const std::string& name : names)
            std::filesystem::copy_file(PictureFolderUtf8("tiny") + "/1.jpg", made / name);
        EXPECT_EQ(config->SetFolder(WideFromUtf8(made.string()).c_str()), S_OK);
        return made;
    }
    void TearDown() override
    {
        if (!made.empty()) std::filesystem::remove_all(made);
        PicsourceTest::TearDown();
    }
    std::filesystem::path made;
};

TEST_F(PictureListTest, AChosenListIsTakenAsGivenUntilTheFolderChanges)
{
    CopiesNamed({"10.jpg", "2.jpg", "1.jpg", "a.jpg"});
    EXPECT_EQ(Listed(), (Names{u"1.jpg", u"10.jpg", u"2.jpg", u"a.jpg"}));
    // A selection in the client's order, a name twice.
    ASSERT_EQ(Choose({u"a.jpg", u"2.jpg", u"a.jpg"}), S_OK);
    EXPECT_EQ(Listed(), (Names{u"a.jpg", u"2.jpg", u"a.jpg"}));
    // The order is kept for later; the list stays.
    ASSERT_EQ(config->SetPictureOrder(OrderName), S_OK);
    EXPECT_EQ(Listed(), (Names{u"a.jpg", u"2.jpg", u"a.jpg"}));
    // Names that are no picture of the folder, a path out of it among them, are passed over.
    EXPECT_EQ(Choose({u"../tiny/1.jpg", u"10.jpg", u"A.JPG", u"", u"b.jpg"}), S_FALSE);
    EXPECT_EQ(Listed(), (Names{u"10.jpg"}));
    // None of the folder's: refused, nothing changed.
    EXPECT_EQ(Choose({u"b.jpg", u"notes.txt"}), E_INVALIDARG);
    EXPECT_EQ(Listed(), (Names{u"10.jpg"}));
    // An empty list returns to the whole folder in the order stored meanwhile.
    ASSERT_EQ(Choose({}), S_OK);
    EXPECT_EQ(Listed(), (Names{u"1.jpg", u"2.jpg", u"10.jpg", u"a.jpg"}));
    ASSERT_EQ(Choose({u"2.jpg"}), S_OK);
    ASSERT_EQ(config->SetFolder(WideFromUtf8(made.string()).c_str()), S_OK);
    EXPECT_EQ(Listed().size(), 4u) << "a new SetFolder drops the list";

    EXPECT_EQ(config->SetPictureList(nullptr, 1), E_POINTER);
    EXPECT_EQ(config->SetPictureList(nullptr, -1), E_INVALIDARG);
}

TEST_F(PictureListTest, FramesFollowTheChosenListAndItIsSetOnlyWhileStopped)
{
    PrepareFolder("exact", 64, 48);
    const std::u16string exact = u"e.jpg";
    ASSERT_EQ(Choose({exact, exact}), S_OK);
    ASSERT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(Choose({exact}), E_INVALIDARG) << "only while stopped";
    ASSERT_TRUE(sink.WaitForEndOfStream());
    ASSERT_EQ(filter->Stop(), S_OK);
    const auto frames = sink.Frames();
    ASSERT_EQ(frames.size(), 2u);
    const std::vector<BYTE> expected = ExpectedFrame(DecodeJpeg(PictureFolderUtf8("exact") + "/e.jpg"), 64, 48);
    EXPECT_EQ(frames[0].bytes, expected);
    EXPECT_EQ(frames[1].bytes, expected);
}

TEST_F(PictureListTest, TheFolderPicturesComeInAnyOrderWhateverListIsSet)
{
    CopiesNamed({"10.jpg", "2.jpg", "1.jpg"});
    ASSERT_EQ(Choose({u"2.jpg"}), S_OK);
    EXPECT_EQ(FolderPictures(OrderListing), (Names{u"1.jpg", u"10.jpg", u"2.jpg"}));
    EXPECT_EQ(FolderPictures(OrderName), (Names{u"1.jpg", u"2.jpg", u"10.jpg"}));
    LONG needed = 0;
    WCHAR small[4];
    EXPECT_EQ(config->GetFolderPictures(OrderName, small, 4, &needed), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, 6 + 6 + 7 + 1);
    EXPECT_EQ(config->GetFolderPictures(OrderTime + 1, small, 4, &needed), E_INVALIDARG);
    EXPECT_EQ(config->GetFolderPictures(OrderName, nullptr, 4, &needed), E_POINTER);
}

TEST_F(PictureListTest, AThumbnailIsTheWholePictureCentredAndAnUnreadableOneSaysWhy)
{
    ASSERT_EQ(config->SetFolder(PictureFolderPath("fit").c_str()), S_OK);
    constexpr LONG kWidth = 128;
    constexpr LONG kHeight = 96;
    const auto stride = static_cast<LONG>(FrameBuilder::FrameStride(kWidth));
    std::vector<BYTE> frame(static_cast<std::size_t>(stride) * kHeight);
    const auto bytes = static_cast<LONG>(frame.size());
    // B G R of the pixel at column x, row y counted from the top.
    const auto pixel = [&](int x, int y) {
        const BYTE* at = &frame[static_cast<std::size_t>(kHeight - 1 - y) * stride + 3 * x];
        return std::vector<int>{at[2], at[1], at[0]};
    };
    // A portrait picture in a landscape thumbnail: 72 columns wide, centred, black beside it.
    ASSERT_EQ(config->RenderThumbnail(u"portrait-1.jpg", kWidth, kHeight, frame.data(), bytes), S_OK);
    EXPECT_EQ(pixel(10, 48), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(pixel(120, 48), (std::vector<int>{0, 0, 0}));
    const std::vector<int> red = pixel(40, 20);
    EXPECT_GT(red[0], 200);
    EXPECT_LT(red[1] + red[2], 80);
    const std::vector<int> white = pixel(88, 76);
    EXPECT_GT(white[0] + white[1] + white[2], 600);

    EXPECT_EQ(config->RenderThumbnail(u"plasma.ppm", kWidth, kHeight, frame.data(), bytes), E_INVALIDARG)
        << "no picture of the folder";
    EXPECT_EQ(config->RenderThumbnail(u"../exact/e.jpg", kWidth, kHeight, frame.data(), bytes), E_INVALIDARG);
    EXPECT_EQ(config->RenderThumbnail(u"portrait-1.jpg", kWidth, kHeight, frame.data(), bytes - 1), E_INVALIDARG);

    // The reason the stream would skip the picture for.
    ASSERT_EQ(config->SetFolder(PictureFolderPath("broken").c_str()), S_OK);
    FrameBuilder builder;
    std::vector<BYTE> streamFrame(frame.size());
    const HRESULT skipped =
        builder.ReadPicture(PictureFolderUtf8("broken") + "/2.jpg", streamFrame.data(), kWidth, kHeight);
    ASSERT_TRUE(FAILED(skipped));
    EXPECT_EQ(config->RenderThumbnail(u"2.jpg", kWidth, kHeight, frame.data(), bytes), skipped);
}

} // namespace
