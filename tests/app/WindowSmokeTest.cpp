#include "app/MainWindow.h"
#include "app/MovieEngineAdapter.h"
#include "platform/com/Com.h"
#include "tests/app/ScriptedWindow.h"
#include "tests/app/ViewerSpy.h"
#include "tests/platform/TempRegistry.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

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
        EXPECT_EQ(window.actions.size(), 2u);
        EXPECT_FALSE(window.ProgressDetail().isVisible());
        EXPECT_EQ(window.ProgressDetail().text(), QString());
    }
    CoUninitialize();
}

// A window with its engine absent: enough for its boxes, keys and the desktop's handler.
class BareWindow : public ::testing::Test {
protected:
    BareWindow() : application(argc, argv) { QDesktopServices::setUrlHandler(QStringLiteral("file"), &viewer, "Open"); }
    ~BareWindow() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    int argc = 1;
    char name[17] = "app-window-tests";
    char* argv[2] = {name, nullptr};
    QApplication application;
    ViewerSpy viewer;
};

// Presses the button of the open message box that reads `text`, once the box is up.
void PressInTheBox(const QString& text)
{
    QTimer::singleShot(0, [text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        for (QAbstractButton* button : box->buttons())
            if (button->text() == text) button->click();
    });
}

TEST_F(BareWindow, TheCompletionBoxAnswersTheActionPressedAndOkAsNone)
{
    ScriptedWindow scripted([] { return nullptr; });
    MainWindow& window = scripted;
    const std::vector<std::u16string> actions{u"動画を開く", u"フォルダーに表示"};
    PressInTheBox(QStringLiteral("フォルダーに表示"));
    EXPECT_EQ(window.MainWindow::ShowMessageWithActions(u"データの処理は終了しました!", u"Reelsmith", actions), 1);
    PressInTheBox(QStringLiteral("動画を開く"));
    EXPECT_EQ(window.MainWindow::ShowMessageWithActions(u"データの処理は終了しました!", u"Reelsmith", actions), 0);
    PressInTheBox(QStringLiteral("OK"));
    EXPECT_EQ(window.MainWindow::ShowMessageWithActions(u"データの処理は終了しました!", u"Reelsmith", actions), -1);
}

TEST_F(BareWindow, OpeningHandsTheFileOrFolderToTheDesktop)
{
    ScriptedWindow window([] { return nullptr; });
    window.OpenWithDesktop(u"/out/holiday movie.wmv");
    window.OpenWithDesktop(u"/out");
    ASSERT_EQ(viewer.opened.size(), 2);
    EXPECT_EQ(viewer.opened[0].toLocalFile(), QStringLiteral("/out/holiday movie.wmv"));
    EXPECT_EQ(viewer.opened[1].toLocalFile(), QStringLiteral("/out"));
}

// Only the Exit button ends the program: Enter, Escape and the window manager's close
// request leave the window open and ask nothing.
TEST_F(BareWindow, EnterEscapeAndTheCloseRequestLeaveTheWindowOpen)
{
    ScriptedWindow window([] { return nullptr; });
    window.Start();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&window, &press);
    }
    EXPECT_FALSE(window.close()) << "the close request is refused";
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.Ended());
    EXPECT_TRUE(window.messages.isEmpty()) << window.messages.join(u'|').toStdString();
}

TEST_F(BareWindow, F1RunsTheHelpAndTheHelpButtonStaysHidden)
{
    ScriptedWindow window([] { return nullptr; });
    window.Start();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(&window, &f1);
    EXPECT_EQ(window.helpRuns, 1);
    EXPECT_FALSE(window.Button(HelpControl)->isVisible());
}

TEST_F(BareWindow, TheDetailLineShowsOnlyWithTextInTheBarsColour)
{
    ScriptedWindow window([] { return nullptr; });
    window.Start();
    window.SetProgressDetail(u"2.0 枚/秒 ・ 残り 0:16");
    EXPECT_TRUE(window.ProgressDetail().isVisible());
    EXPECT_EQ(window.ProgressDetail().text(), QStringLiteral("2.0 枚/秒 ・ 残り 0:16"));
    EXPECT_TRUE(window.ProgressDetail().styleSheet().contains(QStringLiteral("#00ff7f")))
        << window.ProgressDetail().styleSheet().toStdString();
    EXPECT_GE(window.ProgressDetail().y(), window.Progress().geometry().bottom()) << "under the bar, not over it";
    window.SetProgressDetail(u"");
    EXPECT_FALSE(window.ProgressDetail().isVisible());
}

} // namespace
