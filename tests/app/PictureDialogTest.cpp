// The pictures dialog with the real engine and a scripted user: thumbnails from the
// picture source on worker threads, reordering, unticking and sorting, and the movie
// the window then makes.
#include "app/MainWindow.h"
#include "app/MovieEngineAdapter.h"
#include "app/PictureDialog.h"
#include "engine/ErrorWords.h"
#include "jpeg/JpegDecoder.h"
#include "platform/com/Com.h"
#include "tests/app/ScriptedWindow.h"
#include "tests/common/ExifBlock.h"
#include "tests/common/FrameColours.h"
#include "tests/platform/TempRegistry.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>

namespace {

using Names = std::vector<std::u16string>;

// DateTime (0x0132) alone, its text after the directory.
exiftest::Bytes DateTimeBody(const std::string& date)
{
    exiftest::Bytes body = exiftest::ExifBody(false, {{0x0132, 2, 20, 8 + 2 + 12 + 4}});
    body.insert(body.end(), date.begin(), date.end());
    body.push_back(0);
    return body;
}

exiftest::Bytes ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return exiftest::Bytes(std::istreambuf_iterator<char>(in), {});
}

// The user drags picture `from` onto the left half of picture `to` (or past the last
// when `to` is the count), with the mouse.
void DragPicture(PictureDialog& dialog, int from, int to)
{
    QListWidget& list = dialog.List();
    QWidget* viewport = list.viewport();
    const QPoint start = list.visualRect(list.model()->index(from, 0)).center();
    const bool past = to >= list.count();
    const QRect target = list.visualRect(list.model()->index(past ? list.count() - 1 : to, 0));
    const QPoint end = past ? QPoint(target.right() + 20, target.center().y()) : target.center() - QPoint(10, 0);
    const auto send = [viewport](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    send(QEvent::MouseMove, (start + end) / 2, Qt::LeftButton);
    send(QEvent::MouseMove, end, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, end, Qt::NoButton);
}

// The window's engine over a folder of flat-colour pictures in a fresh registry.
class PictureDialogTest : public ::testing::Test {
protected:
    PictureDialogTest() : application(argc, argv) {}

    void SetUp() override
    {
        ASSERT_EQ(std::system((std::string(REGSVR_PATH) + " " + XTPPIC_PATH + " >/dev/null 2>&1").c_str()), 0);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        pictures = registry.Path().parent_path() / "pictures";
        std::filesystem::create_directory(pictures);
    }
    void TearDown() override
    {
        engine.reset();
        CoUninitialize();
    }
    // A flat-colour picture, its Exif date taken when given.
    void Picture(const std::string& file, Qt::GlobalColor colour, const std::string& taken = {})
    {
        QImage picture(96, 64, QImage::Format_RGB32);
        picture.fill(colour);
        const std::filesystem::path path = pictures / file;
        ASSERT_TRUE(picture.save(QString::fromStdString(path.string()), "JPG"));
        if (taken.empty()) return;
        const exiftest::Bytes dated = exiftest::WithApp1(ReadBytes(path), DateTimeBody(taken));
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(dated.data()), static_cast<std::streamsize>(dated.size()));
    }
    void OpenFolder()
    {
        engine = std::make_unique<MovieEngineAdapter>();
        ASSERT_EQ(engine->SetPictureFolder(QString::fromStdString(pictures.string()).toStdU16String()), S_OK);
    }
    // Waits on the window's events, not on a clock, until the dialog shows `count` thumbnails.
    void WaitForThumbnails(PictureDialog& dialog, int count)
    {
        while (dialog.ThumbnailsShown() < count) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    static Names RowNames(PictureDialog& dialog)
    {
        Names names;
        for (int row = 0; row < dialog.List().count(); ++row)
            names.push_back(dialog.List().item(row)->data(Qt::UserRole).toString().toStdU16String());
        return names;
    }
    static QListWidgetItem* Row(PictureDialog& dialog, const std::u16string& name)
    {
        for (int row = 0; row < dialog.List().count(); ++row)
            if (dialog.List().item(row)->data(Qt::UserRole).toString().toStdU16String() == name)
                return dialog.List().item(row);
        return nullptr;
    }

    int argc = 1;
    char name[17] = "app-window-tests";
    char* argv[2] = {name, nullptr};
    QApplication application;
    TempRegistry registry;
    std::filesystem::path pictures;
    std::unique_ptr<MovieEngineAdapter> engine;
};

TEST_F(PictureDialogTest, TheUserDragsUnticksAndSortsAndSeesWhyAPictureIsSkipped)
{
    Picture("1.jpg", Qt::red, "2021:06:01 12:00:00");
    Picture("2.jpg", Qt::green, "2020:01:01 08:00:00");
    Picture("10.jpg", Qt::blue, "2022:03:01 09:30:00");
    std::ofstream(pictures / "broken.jpg") << "this is no JPEG";
    OpenFolder();
    PictureDialog dialog(*engine);
    dialog.show();
    EXPECT_EQ(RowNames(dialog), (Names{u"1.jpg", u"10.jpg", u"2.jpg", u"broken.jpg"})) << "as the movie takes them";
    EXPECT_EQ(dialog.CountLabel().text(), QStringLiteral("4 / 4 枚を使います"));
    WaitForThumbnails(dialog, 4);

    // The thumbnails show the pictures, the unreadable one why the movie passes over it.
    const QImage red =
        Row(dialog, u"1.jpg")->icon().pixmap(PictureDialog::kThumbnailWidth, PictureDialog::kThumbnailHeight).toImage();
    const QColor centre = red.pixelColor(red.width() / 2, red.height() / 2);
    EXPECT_GT(centre.red(), 200);
    EXPECT_LT(centre.green() + centre.blue(), 80);
    const QString reason = QString::fromStdU16String(ErrorWords::DescribeSkip(JpegNotJpeg));
    ASSERT_FALSE(reason.isEmpty());
    EXPECT_EQ(Row(dialog, u"broken.jpg")->data(PictureDialog::kSkipReasonRole).toString(), reason);
    EXPECT_TRUE(Row(dialog, u"broken.jpg")->toolTip().contains(reason));
    EXPECT_FALSE(Row(dialog, u"1.jpg")->data(PictureDialog::kSkipReasonRole).isValid());

    dialog.SortButton(OrderName).click();
    EXPECT_EQ(RowNames(dialog), (Names{u"1.jpg", u"2.jpg", u"10.jpg", u"broken.jpg"})) << "2 before 10";
    dialog.SortButton(OrderDate).click();
    // broken.jpg has no Exif date: its file time, now, is the latest.
    EXPECT_EQ(RowNames(dialog), (Names{u"2.jpg", u"1.jpg", u"10.jpg", u"broken.jpg"}));

    Row(dialog, u"broken.jpg")->setCheckState(Qt::Unchecked);
    EXPECT_EQ(dialog.CountLabel().text(), QStringLiteral("3 / 4 枚を使います"));
    // 10.jpg dragged to the front, then 2.jpg past the last.
    DragPicture(dialog, 2, 0);
    EXPECT_EQ(RowNames(dialog), (Names{u"10.jpg", u"2.jpg", u"1.jpg", u"broken.jpg"}));
    DragPicture(dialog, 1, 4);
    EXPECT_EQ(RowNames(dialog), (Names{u"10.jpg", u"1.jpg", u"broken.jpg", u"2.jpg"}));
    EXPECT_EQ(dialog.Arrangement().Taken(), (Names{u"10.jpg", u"1.jpg", u"2.jpg"}));
    EXPECT_TRUE(dialog.Arrangement().Changed());
    // A sort keeps the ticks.
    dialog.SortButton(OrderTime).click();
    EXPECT_EQ(dialog.Arrangement().TakenCount(), 3u);
    EXPECT_EQ(Row(dialog, u"broken.jpg")->checkState(), Qt::Unchecked);

    for (int row = 0; row < dialog.List().count(); ++row) dialog.List().item(row)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(dialog.OkButton().isEnabled()) << "a movie of no picture cannot be asked for";
}

TEST_F(PictureDialogTest, ALargeFolderOpensAtOnceAndItsThumbnailsStopWhenTheDialogCloses)
{
    constexpr int kPictures = 1000;
    Picture("0.jpg", Qt::gray);
    for (int i = 1; i < kPictures; ++i)
        std::filesystem::create_hard_link(pictures / "0.jpg", pictures / (std::to_string(i) + ".jpg"));
    OpenFolder();
    // The decodes wait at a gate the test holds: five pass, the rest wait for it.
    std::mutex lock;
    std::condition_variable changed;
    int rendered = 0;
    bool open = false;
    bool closing = false;
    auto gated = [&](const std::u16string& picture, std::vector<BYTE>& frame) {
        std::unique_lock held(lock);
        changed.wait(held, [&] { return rendered < 5 || open || closing; });
        if (closing) return E_ABORT;
        ++rendered;
        held.unlock();
        return engine->RenderThumbnail(picture, PictureDialog::kThumbnailWidth, PictureDialog::kThumbnailHeight, frame);
    };
    auto dialog = std::make_unique<PictureDialog>(*engine, nullptr, gated);
    dialog->show();
    WaitForThumbnails(*dialog, 5);
    // The dialog answers while 995 thumbnails are still to come.
    EXPECT_EQ(dialog->List().count(), kPictures);
    dialog->SortButton(OrderName).click();
    EXPECT_EQ(dialog->List().item(2)->data(Qt::UserRole).toString(), QStringLiteral("2.jpg"));
    dialog->List().item(0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(dialog->CountLabel().text(), QStringLiteral("999 / 1000 枚を使います"));
    EXPECT_EQ(dialog->ThumbnailsShown(), 5);

    {
        const std::lock_guard held(lock);
        open = true;
    }
    changed.notify_all();
    WaitForThumbnails(*dialog, 20);
    {
        const std::lock_guard held(lock);
        closing = true;
    }
    changed.notify_all();
    dialog.reset();
    const std::lock_guard held(lock);
    EXPECT_LT(rendered, kPictures) << "closing the dialog ends the decoding";
}

TEST_F(PictureDialogTest, TheMovieTakesThePicturesInTheOrderChosen)
{
    Picture("1.jpg", Qt::red);
    Picture("2.jpg", Qt::green);
    Picture("3.jpg", Qt::blue);
    const std::filesystem::path movie = registry.Path().parent_path() / "chosen.wmv";
    {
        ScriptedWindow window([] { return std::make_unique<MovieEngineAdapter>(); });
        // The user moves the last picture first and leaves out the one after it.
        window.arrangePictures = [](PictureDialog& dialog) {
            dialog.show();
            DragPicture(dialog, dialog.List().count() - 1, 0);
            dialog.List().item(1)->setCheckState(Qt::Unchecked);
            dialog.OkButton().click();
        };
        window.Start();
        EXPECT_TRUE(window.Button(PicturesControl)->isVisible());
        EXPECT_LT(window.Button(PicturesControl)->geometry().right(), 500) << "the left half of the strip";
        EXPECT_LT(window.Button(PicturesControl)->geometry().bottom(), window.Preview().geometry().top());
        window.folder = QString::fromStdString(pictures.string()).toStdU16String();
        window.Button(StartControl)->click();
        window.Button(PicturesControl)->click();
        EXPECT_EQ(window.Progress().Upper(), 2) << "the bar counts the pictures chosen";
        const QImage preview = window.Preview().Frame();
        ASSERT_FALSE(preview.isNull());
        EXPECT_GT(preview.pixelColor(preview.width() / 2, preview.height() / 2).blue(), 200)
            << "the preview is the first picture chosen";

        window.movie = QString::fromStdString(movie.string()).toStdU16String();
        window.Button(AnimateControl)->click();
        while (!window.messages.contains(QStringLiteral("データの処理は終了しました!")))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // 640 x 480, 500 ms a picture at the window's defaults without a config.ini.
    EXPECT_EQ(FrameColours(movie.string(), 640, 480), "bg") << "3.jpg moved first, 1.jpg left out";
}

} // namespace
