// The real window's message boxes by locale: the program's texts and Qt's own buttons
// in one language, or the texts as written under Japanese and C.
#include "app/MainWindow.h"
#include "app/SkinProgress.h"
#include "app/Translations.h"
#include "platform/com/Com.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct SeenBox {
    QString title;
    QString text;
    QStringList buttons;
};

// Presses a button of the window and reads the message box it opens, then answers No
// (or OK).
SeenBox PressAndRead(MainWindow& window, int control)
{
    SeenBox seen;
    QTimer reader;
    QObject::connect(&reader, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        reader.stop();
        seen.title = box->windowTitle();
        seen.text = box->text();
        for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
        seen.buttons.sort();
        QAbstractButton* no = box->button(QMessageBox::No);
        (no ? no : box->buttons().first())->click();
    });
    reader.start(10);
    window.Button(control)->click();
    return seen;
}

class WindowLanguage : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }

    int argc = 1;
    char name[17] = "app-window-tests";
    char* argv[2] = {name, nullptr};
    QApplication application{argc, argv};
};

TEST_F(WindowLanguage, EnglishLocaleShowsTheProgramAndQtInEnglish)
{
    const Translations translations{QLocale(QStringLiteral("en_US"))};
    MainWindow window([] { return nullptr; });
    window.Start();
    const SeenBox exit = PressAndRead(window, ExitControl);
    EXPECT_EQ(exit.title, QStringLiteral("Confirm exit"));
    EXPECT_EQ(exit.text, QStringLiteral("Do you really want to quit Reelsmith?"));
    EXPECT_EQ(exit.buttons, (QStringList{QStringLiteral("&No"), QStringLiteral("&Yes")}));
    const SeenBox play = PressAndRead(window, PlayControl);
    EXPECT_EQ(play.title, QStringLiteral("Reelsmith"));
    EXPECT_EQ(play.text, QStringLiteral("Please choose the JPG files first."));
    EXPECT_TRUE(window.isVisible()) << "No leaves the window open";
}

TEST_F(WindowLanguage, JapaneseLocaleKeepsTheTextsAndTranslatesQtsButtons)
{
    const Translations translations{QLocale(QStringLiteral("ja_JP"))};
    MainWindow window([] { return nullptr; });
    window.Start();
    const SeenBox exit = PressAndRead(window, ExitControl);
    EXPECT_EQ(exit.title, QStringLiteral("終了確認"));
    EXPECT_EQ(exit.text, QStringLiteral("本当にReelsmithを終了させますか？"));
    EXPECT_EQ(exit.buttons, (QStringList{QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)")}));
}

// LANGUAGE's list, as ja:en and en:ja give it: the first language the program has texts in
// wins, and Japanese, which has no catalogue, is one of them.
TEST_F(WindowLanguage, TheFirstOfTheUsersLanguagesThatHasTextsWins)
{
    {
        const Translations translations{QStringList{QStringLiteral("ja_JP"), QStringLiteral("en")}};
        MainWindow window([] { return nullptr; });
        window.Start();
        const SeenBox exit = PressAndRead(window, ExitControl);
        EXPECT_EQ(exit.text, QStringLiteral("本当にReelsmithを終了させますか？"));
        EXPECT_EQ(exit.buttons, (QStringList{QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)")}));
    }
    for (const QStringList& languages : {QStringList{QStringLiteral("en"), QStringLiteral("ja")},
                                         QStringList{QStringLiteral("fr_FR"), QStringLiteral("en_GB")}}) {
        const Translations translations{languages};
        MainWindow window([] { return nullptr; });
        window.Start();
        const SeenBox exit = PressAndRead(window, ExitControl);
        EXPECT_EQ(exit.text, QStringLiteral("Do you really want to quit Reelsmith?"))
            << languages.join(':').toStdString();
        EXPECT_EQ(exit.buttons, (QStringList{QStringLiteral("&No"), QStringLiteral("&Yes")}));
    }
}

TEST_F(WindowLanguage, CLocaleKeepsEveryTextAsWritten)
{
    const Translations translations{QLocale::c()};
    MainWindow window([] { return nullptr; });
    window.Start();
    const SeenBox exit = PressAndRead(window, ExitControl);
    EXPECT_EQ(exit.text, QStringLiteral("本当にReelsmithを終了させますか？"));
    EXPECT_EQ(exit.buttons, (QStringList{QStringLiteral("&No"), QStringLiteral("&Yes")}));
    const SeenBox play = PressAndRead(window, PlayControl);
    EXPECT_EQ(play.text, QStringLiteral("まず、JPGファイルを選択してください。"));
}

// The bar in the window, with a label in each language: no row of the label is cut
// off at the bar's top or bottom edge.
TEST_F(WindowLanguage, TheBarShowsItsLabelWhole)
{
    MainWindow window([] { return nullptr; });
    SkinProgress& bar = window.Progress();
    bar.textColour = 0x00FF00;
    bar.backgroundColour = 0x000000;
    bar.SetRange(0, 1);
    for (const QString& label : {QStringLiteral("動画作成中"), QStringLiteral("Making the movie")}) {
        bar.label = label;
        const QImage image = bar.Render(bar.size());
        const auto textInRow = [&](int y) {
            int count = 0;
            for (int x = 4; x < image.width(); ++x) count += image.pixelColor(x, y).green() > 128;
            return count;
        };
        int text = 0;
        for (int y = 0; y < image.height(); ++y) text += textInRow(y);
        EXPECT_GT(text, 0) << "no label drawn";
        EXPECT_EQ(textInRow(0), 0) << label.toStdString() << " cut at the top of " << image.height() << " rows";
        EXPECT_EQ(textInRow(image.height() - 1), 0) << label.toStdString() << " cut at the bottom";
    }
}

} // namespace
