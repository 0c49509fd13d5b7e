// The folder scan's naming rules, on their own.
#include "picsource/PictureFolder.h"
#include "platform/base/WideText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

TEST(PictureFolder, AddsOneSlashUnlessThereIsOne)
{
    EXPECT_EQ(PictureFolder::WithSeparator(u"/pics"), u"/pics/");
    EXPECT_EQ(PictureFolder::WithSeparator(u"/pics/"), u"/pics/");
    EXPECT_EQ(PictureFolder::WithSeparator(u""), u"/");
}

TEST(PictureFolder, MatchesTheJpgExtensionInAnyCase)
{
    for (const char16_t* name : {u"a.jpg", u"DSC0001.JPG", u"x.JpG", u".jpg"})
        EXPECT_TRUE(PictureFolder::IsPictureName(name));
    for (const char16_t* name : {u"a.jpeg", u"jpg", u"a.jpg.txt", u"a_jpg", u"a.pg"})
        EXPECT_FALSE(PictureFolder::IsPictureName(name));
}

TEST(PictureFolder, OrdersNamesCaseInsensitivelyByCodeUnit)
{
    EXPECT_TRUE(PictureFolder::ListsBefore(u"a.jpg", u"B.JPG"));
    EXPECT_FALSE(PictureFolder::ListsBefore(u"B.JPG", u"a.jpg"));
    EXPECT_FALSE(PictureFolder::ListsBefore(u"A.JPG", u"a.jpg"));
    // Upper-cased, "_" (0x5F) comes after the letters, as on Windows.
    EXPECT_TRUE(PictureFolder::ListsBefore(u"z.jpg", u"_.jpg"));
    EXPECT_TRUE(PictureFolder::ListsBefore(u"a.jpg", u"a1.jpg"));
    // Beyond ASCII too, whatever the process's locale: é is É, before Ê; я is Я, after Ж.
    EXPECT_TRUE(PictureFolder::ListsBefore(u"\u00e9.jpg", u"\u00ca.jpg"));
    EXPECT_TRUE(PictureFolder::ListsBefore(u"\u0416.jpg", u"\u044f.jpg"));
    EXPECT_FALSE(PictureFolder::ListsBefore(u"\u044f.jpg", u"\u0416.jpg"));
}

TEST(PictureFolder, ListsEveryEntryButFoldersByItsBytes)
{
    char pattern[] = "/tmp/picture-folder-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path folder = pattern;
    std::ofstream(folder / "a.jpg") << "a";
    std::filesystem::create_symlink(folder / "a.jpg", folder / "b.jpg");
    std::filesystem::create_symlink(folder / "missing", folder / "c.jpg");
    std::filesystem::create_directory(folder / "d.jpg");
    std::filesystem::create_directory_symlink(folder / "d.jpg", folder / "e.jpg");
    ASSERT_EQ(mkfifo((folder / "f.jpg").c_str(), 0644), 0);
    std::filesystem::create_symlink(folder / "g.jpg", folder / "g.jpg"); // a loop
    std::ofstream(folder / "h\xE9.jpg") << "Latin-1";
    std::ofstream(folder / "i\nj.jpg") << "a newline";
    std::ofstream(folder / "notes.txt") << "no picture";
    const auto names = PictureFolder::List(WideFromUtf8(folder.string() + "/"));
    // FIFOs and broken links are listed: reading them fails with a reason of their own.
    EXPECT_EQ(names, (std::vector<std::u16string>{u"a.jpg", u"b.jpg", u"c.jpg", u"f.jpg", u"g.jpg", u"h\xDCE9.jpg",
                                                  u"i\nj.jpg"}));
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(Utf8FromWide(names[5]), "h\xE9.jpg") << "the name opens the file it came from";
    EXPECT_EQ(PrintableFromWide(names[5]), "h\\xE9.jpg");
    EXPECT_EQ(PrintableFromWide(names[6]), "i\\nj.jpg");
    EXPECT_EQ(PrintableFromWide(u"\u5199\u771f\U0001F600\x1B.jpg"), "\u5199\u771f\U0001F600\\x1B.jpg");
    std::filesystem::remove_all(folder);
}
