// The window's Save chooser: the type of file picked in it gives a name without
// an extension that type's extension, as a user picks it in the list.
#include "app/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

const FileFilter kFilters[] = {
    {u"Windows Media (*.wmv)", u"*.wmv"}, {u"MP4 video (*.mp4)", u"*.mp4"}, {u"WebM video (*.webm)", u"*.webm"}};

// Picks the filter at `index` in the open chooser's list and saves under `name`.
void PickAndSave(int index, const QString& name)
{
    auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!chooser) {
        QTimer::singleShot(20, [index, name] { PickAndSave(index, name); });
        return;
    }
    auto* types = chooser->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    auto* edit = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!types || !edit) {
        chooser->reject();
        return;
    }
    // As a user does it from the keyboard: the list moves one entry a key.
    types->setFocus();
    for (int step = 0; step < 10 && types->currentIndex() != index; ++step) {
        QKeyEvent key(QEvent::KeyPress, types->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
        QApplication::sendEvent(types, &key);
    }
    edit->setText(name);
    static_cast<QDialog*>(chooser)->accept();
}

} // namespace

TEST(SaveChooserTest, ANameWithoutAnExtensionGetsThePickedTypesOne)
{
    int argc = 1;
    char program[] = "app-window-tests";
    char* argv[] = {program, nullptr};
    QApplication application(argc, argv);
    MainWindow window(nullptr);
    char pattern[] = "/tmp/reelsmith-chooser-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const QString folder = QString::fromUtf8(pattern);
    const struct {
        int index;
        QString name;
        QString expected;
    } cases[] = {{1, "holiday", "holiday.mp4"},
                 {2, "holiday", "holiday.webm"},
                 {0, "holiday", "holiday.wmv"},
                 {1, "holiday.wmv", "holiday.wmv"}};
    for (const auto& step : cases) {
        QTimer::singleShot(0, [&] { PickAndSave(step.index, folder + "/" + step.name); });
        const std::u16string chosen = window.ChooseSaveFile(kFilters, 3, u".wmv");
        EXPECT_EQ(QString::fromStdU16String(chosen).toStdString(), (folder + "/" + step.expected).toStdString())
            << step.index;
    }
    std::filesystem::remove_all(pattern);
}
