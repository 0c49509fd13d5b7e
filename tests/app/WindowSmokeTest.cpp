#include "app/MainWindow.h"
#include "app/MovieEngineAdapter.h"
#include "platform/com/Com.h"
#include "tests/platform/TempRegistry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// The real window with a scripted user at the choosers and message boxes.
class ScriptedWindow : public MainWindow {
public:
    using MainWindow::MainWindow;

    int ShowMessage(const std::u16string& text, const std::u16string&, UINT) override
    {
        messages.push_back(QString::fromStdU16String(text));
        return kAnswerOk;
    }
    std::u16string ChooseFolder(const std::u16string&) override { return folder; }
    std::u16string ChooseSaveFile(const FileFilter*, int, const std::u16string&) override { return movie; }

    QStringList messages;
    std::u16string folder;
    std::u16string movie;
};

TEST(WindowSmokeTest, MakesAMovieFromAFolderAndSaysItIsDone)
{
    TempRegistry registry;
    ASSERT_EQ(std::system((std::string(REGSVR_PATH) + " " + XTPPIC_PATH + " >/dev/null 2>&1").c_str()), 0);
    const std::filesystem::path pictures = registry.Path().parent_path() / "pictures";
    std::filesystem::create_directory(pictures);
    for (int i = 0; i < 3; ++i) {
        QImage picture(320, 240, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i * 100, 200, 220));
        const auto name = pictures / ("photo" + std::to_string(i) + ".jpg");
        ASSERT_TRUE(picture.save(QString::fromStdString(name.string()), "JPG"));
    }
    const std::filesystem::path movie = registry.Path().parent_path() / "movie.wmv";

    int argc = 1;
    char name[] = "app-window-tests";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ScriptedWindow window([] { return std::make_unique<MovieEngineAdapter>(); });
        window.Start();
        EXPECT_EQ(window.size(), QSize(800, 600));
        EXPECT_FALSE(window.Button(AudioControl)->isVisible());
        EXPECT_FALSE(window.Button(HelpControl)->isVisible());
        EXPECT_EQ(window.Button(StartControl)->pos(), window.Button(AudioControl)->pos());

        // A folder that is not there is called so.
        window.folder = QString::fromStdString((pictures / "gone").string()).toStdU16String();
        window.Button(StartControl)->click();
        ASSERT_EQ(window.messages.size(), 1);
        EXPECT_EQ(window.messages.back(),
                  QStringLiteral("このフォルダーは存在しません:\n") + QString::fromStdU16String(window.folder));
        window.messages.clear();

        window.folder = QString::fromStdString(pictures.string()).toStdU16String();
        window.Button(StartControl)->click();
        ASSERT_EQ(window.messages.size(), 1);
        EXPECT_EQ(window.messages.back(), QStringLiteral("3 個JPGファイルはロードされています。"));
        EXPECT_TRUE(window.Progress().isVisible());
        EXPECT_EQ(window.Progress().Upper(), 3);
        EXPECT_FALSE(window.Preview().Frame().isNull()) << "the first picture is previewed";

        window.movie = QString::fromStdString(movie.string()).toStdU16String();
        window.Button(AnimateControl)->click();
        QElapsedTimer bound;
        bound.start();
        while (window.messages.size() < 2 && bound.elapsed() < 60000)
            application.processEvents(QEventLoop::AllEvents, 50);
        ASSERT_EQ(window.messages.size(), 2);
        EXPECT_EQ(window.messages.back(), QStringLiteral("データの処理は終了しました!"));
        EXPECT_GT(std::filesystem::file_size(movie), 1000u);
    }
    CoUninitialize();
}

} // namespace
