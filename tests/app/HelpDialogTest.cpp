#include "app/HelpDialog.h"
#include "tests/app/ViewerSpy.h"

#include <QApplication>
#include <QDir>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QPushButton>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

TEST(HelpDialogTest, OkOpensTheManualEachTimeAndEscapeCloses)
{
    int argc = 1;
    char name[] = "app-window-tests";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    ViewerSpy viewer;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &viewer, "Open");

    HelpDialog help;
    EXPECT_EQ(help.windowTitle(), QStringLiteral("Reelsmith Help"));
    help.show();
    auto* ok = help.findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("Ok"));
    ok->click();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&help, &enter);
    ASSERT_EQ(viewer.opened.size(), 2);
    EXPECT_TRUE(help.isVisible());
    EXPECT_TRUE(viewer.opened[0].toLocalFile().endsWith(QStringLiteral("/02 - Reelsmith - User Manual.pdf")));
    EXPECT_EQ(viewer.opened[0].toLocalFile(), QDir(QCoreApplication::applicationDirPath()).canonicalPath() +
                                                  QStringLiteral("/02 - Reelsmith - User Manual.pdf"));

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&help, &escape);
    EXPECT_FALSE(help.isVisible());
    EXPECT_EQ(viewer.opened.size(), 2);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

} // namespace
