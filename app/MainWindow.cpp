#include "app/MainWindow.h"

#include "app/Artwork.h"
#include "app/HelpDialog.h"
#include "app/PictureDialog.h"
#include "app/SettingsDialog.h"
#include "config/SettingsLocation.h"
#include "platform/resource/UiText.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include <algorithm>

namespace {

QString ToQt(const std::u16string& text) { return QString::fromStdU16String(text); }

QString FilterText(const FileFilter* filters, int count)
{
    QStringList parts;
    for (int i = 0; i < count; ++i) {
        QString patterns = ToQt(filters[i].patterns);
        parts << ToQt(filters[i].description).section(QLatin1Char('('), 0, 0).trimmed() + QStringLiteral(" (") +
                     patterns.replace(QLatin1Char(';'), QLatin1Char(' ')) + QLatin1Char(')');
    }
    return parts.join(QStringLiteral(";;"));
}

} // namespace

// The main window as the window service sees it: graph messages.
class MainWindow::MainClient final : public WindowClient {
public:
    explicit MainClient(MainWindow& owner) : window(owner) {}
    void OnMessage(UINT message, WPARAM, LPARAM) override
    {
        if (message == WM_GRAPHNOTIFY_MESSAGE) window.dialog.OnGraphNotify();
    }
    void OnVideoFrame(const StoredFrame&) override {}
    RECT WindowRect() override { return {0, 0, kWidth, kHeight}; }

private:
    MainWindow& window;
};

// The preview area as the window service sees it: the video renderer's frames.
class MainWindow::PreviewClient final : public WindowClient {
public:
    explicit PreviewClient(PreviewArea& area) : preview(area) {}
    void OnMessage(UINT, WPARAM, LPARAM) override {}
    void OnVideoFrame(const StoredFrame& frame) override
    {
        preview.ShowFrame(frame.pixels.data(), frame.width, frame.height, frame.bitCount, frame.stride);
    }
    RECT WindowRect() override { return {0, 0, preview.width(), preview.height()}; }

private:
    PreviewArea& preview;
};

MainWindow::MainWindow(MainDialog::EngineFactory createEngine)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      dialog(*this, std::move(createEngine)),
      skin(new QLabel(this)),
      preview(new PreviewArea(this)),
      progress(new SkinProgress(this)),
      progressDetail(new QLabel(this)),
      soundName(new QLabel(this)),
      dispatcher([this] { ScheduleDispatch(); })
{
    setWindowTitle(QStringLiteral("Reelsmith"));
    setWindowIcon(Artwork::Icon(128));
    setFixedSize(kWidth, kHeight);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    setFont(font);

    skin->setPixmap(QPixmap::fromImage(Artwork::Bitmap(133)));
    skin->setGeometry(FromDialogUnits(0, 0, 533, 440));
    skin->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    skin->setAttribute(Qt::WA_TransparentForMouseEvents);
    preview->setGeometry(FromDialogUnits(179, 114, 318, 201));
    // The template's six units are shorter than the label's line: the bar grows downwards
    // so that the label is read whole.
    QRect bar = FromDialogUnits(179, 316, 318, 6);
    bar.setHeight(std::max(bar.height(), SkinProgress::LabelHeight()));
    progress->setGeometry(bar);
    // The rate and time left sit under the bar's right end, over the skin.
    progressDetail->setGeometry(bar.left(), bar.bottom() + 2, bar.width(), SkinProgress::LabelHeight());
    progressDetail->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progressDetail->setAttribute(Qt::WA_TransparentForMouseEvents);
    progressDetail->hide();
    clock.start();

    AddButton(StartControl, FromDialogUnits(54, 63, 69, 45), &MainDialog::OnStart);
    AddButton(AudioControl, FromDialogUnits(54, 115, 69, 45), &MainDialog::OnAudio);
    AddButton(PlayControl, FromDialogUnits(54, 167, 69, 45), &MainDialog::OnPlay);
    AddButton(AnimateControl, FromDialogUnits(54, 219, 69, 45), &MainDialog::OnAnimate);
    AddButton(ExitControl, FromDialogUnits(54, 271, 69, 45), &MainDialog::OnExit);
    AddButton(HelpControl, FromDialogUnits(488, 64, 30, 25), &MainDialog::OnHelp);
    // The right half of the free strip above the preview; the sound's name under its buttons.
    AddButton(SettingsControl, QRect(524, 36, 110, 40), &MainDialog::OnSettings);
    AddButton(SoundControl, QRect(642, 36, 110, 40), &MainDialog::OnSound);
    AddButton(NoSoundControl, QRect(728, 92, 24, 24), &MainDialog::OnNoSound);
    Button(SettingsControl)->setToolTip(QString::fromStdU16String(UiText("MainWindow", "設定")));
    Button(SoundControl)->setToolTip(QString::fromStdU16String(UiText("MainWindow", "音声ファイルを選ぶ (MP3、WAV)")));
    Button(NoSoundControl)->setToolTip(QString::fromStdU16String(UiText("MainWindow", "音声を外す")));
    soundName->setGeometry(524, 92, 200, 24);
    soundName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont nameFont = font;
    nameFont.setPointSize(10);
    soundName->setFont(nameFont);
    soundName->setStyleSheet(QStringLiteral("color: #e8eefc; background: transparent;"));
    soundName->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The left half of the strip: the pictures.
    AddButton(PicturesControl, QRect(kPicturesButtonLeft, kPicturesButtonTop, 110, 40), &MainDialog::OnPictures);
    Button(PicturesControl)->setToolTip(QString::fromStdU16String(UiText("MainWindow", "写真を見る、並べ替える")));

    progressTimer.setInterval(MainDialog::kProgressPeriodMs);
    connect(&progressTimer, &QTimer::timeout, this, [this] { dialog.OnTimer(); });

    mainClient = std::make_unique<MainClient>(*this);
    previewClient = std::make_unique<PreviewClient>(*preview);
    dispatcher.RegisterWindow(MainWindowHandle(), mainClient.get());
    dispatcher.RegisterWindow(PreviewHandle(), previewClient.get());
    InstallWindowService(&dispatcher);
}

MainWindow::~MainWindow() { InstallWindowService(nullptr); }

void MainWindow::Start()
{
    dialog.OnInitDialog();
    CentreOnScreen();
    show();
    raise();
}

QRect MainWindow::FromDialogUnits(int x, int y, int width, int height)
{
    const auto across = [](int units) { return units * kWidth / 532; };
    const auto down = [](int units) { return units * kHeight / 342; };
    return QRect(across(x), down(y), across(width), down(height));
}

void MainWindow::AddButton(int id, const QRect& place, void (MainDialog::*handler)())
{
    auto* button = new SkinButton(this);
    button->setGeometry(place);
    connect(button, &QAbstractButton::clicked, this, [this, handler] { (dialog.*handler)(); });
    buttons[id] = button;
}

SkinButton* MainWindow::Button(int id) const
{
    const auto found = buttons.find(id);
    return found == buttons.end() ? nullptr : found->second;
}

QWidget* MainWindow::Control(int id) const
{
    if (id == ProgressControl) return progress;
    if (id == PreviewControl) return preview;
    if (id == SkinControl) return skin;
    if (id == SoundNameControl) return soundName;
    return Button(id);
}

void MainWindow::CentreOnScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
}

void MainWindow::ScheduleDispatch()
{
    QMetaObject::invokeMethod(
        this, [this] { dispatcher.DispatchPending(); }, Qt::QueuedConnection);
}

int MainWindow::ShowMessage(const std::u16string& text, const std::u16string& caption, UINT type)
{
    QMessageBox box(this);
    box.setText(ToQt(text));
    box.setWindowTitle(ToQt(caption));
    if ((type & 0xF0) == kMessageIconQuestion) box.setIcon(QMessageBox::Question);
    if ((type & 0xF0) == kMessageIconExclamation) box.setIcon(QMessageBox::Warning);
    if ((type & 0xF0) == 0x10) box.setIcon(QMessageBox::Critical);
    if ((type & 0x0F) == kMessageYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton((type & kMessageDefaultSecond) ? QMessageBox::No : QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return kAnswerOk;
}

std::u16string MainWindow::ChooseFolder(const std::u16string& title)
{
    return QFileDialog::getExistingDirectory(this, ToQt(title)).toStdU16String();
}

std::u16string MainWindow::ChooseOpenFile(const FileFilter* filters, int filterCount)
{
    return QFileDialog::getOpenFileName(this, QString(), QString(), FilterText(filters, filterCount)).toStdU16String();
}

std::u16string MainWindow::ChooseSaveFile(const FileFilter* filters, int filterCount,
                                          const std::u16string& defaultExtension)
{
    QFileDialog chooser(this, QString(), QString(), FilterText(filters, filterCount));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setDefaultSuffix(ToQt(defaultExtension).mid(1));
    // A name without an extension gets the chosen filter's.
    connect(&chooser, &QFileDialog::filterSelected, &chooser, [&chooser, filters, filterCount](const QString& chosen) {
        for (int i = 0; i < filterCount; ++i) {
            const QString patterns = ToQt(filters[i].patterns);
            if (FilterText(&filters[i], 1) == chosen && patterns.startsWith(QStringLiteral("*.")) &&
                !patterns.contains(QLatin1Char(';')) && patterns != QStringLiteral("*.*"))
                chooser.setDefaultSuffix(patterns.mid(2));
        }
    });
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return {};
    return chooser.selectedFiles().first().toStdU16String();
}

void MainWindow::StartTimer(int, int periodMs) { progressTimer.start(periodMs); }

void MainWindow::StopTimer(int) { progressTimer.stop(); }

void MainWindow::ShowControl(int id, bool show)
{
    if (QWidget* control = Control(id)) control->setVisible(show);
}

void MainWindow::EnableControl(int id, bool enable)
{
    if (QWidget* control = Control(id)) control->setEnabled(enable);
}

void MainWindow::SetButtonImages(int id, int normal, int pressed, int disabled)
{
    SkinButton* button = Button(id);
    if (!button) return;
    button->LoadImages(normal, pressed, 0, disabled);
    button->SizeToImage();
    button->update();
}

void MainWindow::MoveButtonTo(int id, int slotOf)
{
    SkinButton* button = Button(id);
    const SkinButton* slot = Button(slotOf);
    if (!button || !slot) return;
    button->move(slot->pos());
    button->SizeToImage();
}

void MainWindow::SetProgressRange(std::int32_t lower, std::int32_t upper) { progress->SetRange(lower, upper); }

void MainWindow::SetProgressPos(std::int32_t position) { progress->SetPos(position); }

void MainWindow::SetProgressLabel(const std::u16string& label)
{
    progress->label = ToQt(label);
    progress->update();
}

void MainWindow::SetProgressColours(std::uint32_t text, std::uint32_t background)
{
    progress->textColour = text;
    progress->backgroundColour = background;
    progress->update();
    // The line under the bar is in the bar's text colour (0x00BBGGRR).
    const QColor colour(text & 0xFF, (text >> 8) & 0xFF, (text >> 16) & 0xFF);
    progressDetail->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(colour.name()));
}

HWND MainWindow::MainWindowHandle() { return reinterpret_cast<HWND>(static_cast<QWidget*>(this)); }

HWND MainWindow::PreviewHandle() { return reinterpret_cast<HWND>(static_cast<QWidget*>(preview)); }

void MainWindow::DrawFrameToWindow(HWND window, const BYTE* pixels, LONG width, LONG height, WORD bitsPerPixel)
{
    if (window != PreviewHandle()) return;
    const auto stride = static_cast<LONG>(DibRowBytes(width, bitsPerPixel));
    preview->ShowFrame(pixels, width, height, bitsPerPixel, stride);
}

void MainWindow::ClearWindow(HWND window)
{
    if (window == PreviewHandle()) preview->Clear();
}

void MainWindow::RunHelp()
{
    HelpDialog help(this);
    help.exec();
}

int MainWindow::ShowMessageWithActions(const std::u16string& text, const std::u16string& caption,
                                       const std::vector<std::u16string>& actions)
{
    QMessageBox box(this);
    box.setText(ToQt(text));
    box.setWindowTitle(ToQt(caption));
    std::vector<QAbstractButton*> actionButtons;
    for (const std::u16string& action : actions)
        actionButtons.push_back(box.addButton(ToQt(action), QMessageBox::ActionRole));
    box.setDefaultButton(box.addButton(QMessageBox::Ok));
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    const auto chosen = std::find(actionButtons.begin(), actionButtons.end(), box.clickedButton());
    return chosen == actionButtons.end() ? -1 : static_cast<int>(chosen - actionButtons.begin());
}

void MainWindow::OpenWithDesktop(const std::u16string& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(ToQt(path)));
}

void MainWindow::SetProgressDetail(const std::u16string& text)
{
    progressDetail->setText(ToQt(text));
    progressDetail->setVisible(!text.empty());
}

double MainWindow::ClockSeconds() { return static_cast<double>(clock.nsecsElapsed()) / 1e9; }

bool MainWindow::EditSettings(MovieSettings& settings)
{
    SettingsDialog edit(settings, this);
    if (edit.exec() != QDialog::Accepted) return false;
    settings = edit.Values();
    return true;
}

std::u16string MainWindow::SettingsPath()
{
    // The template the package installs: share/reelsmith beside the program's lib/reelsmith.
    const QString folder = QDir(QCoreApplication::applicationDirPath()).canonicalPath();
    const QString templatePath = folder + QStringLiteral("/../../share/reelsmith/config.ini");
    return QString::fromStdString(SettingsLocation::Resolve(QDir::cleanPath(templatePath).toStdString()))
        .toStdU16String();
}

void MainWindow::SetControlText(int id, const std::u16string& text)
{
    if (id == SoundNameControl) {
        // A long name is cut in its middle, keeping its length at the end.
        const QString full = ToQt(text);
        soundName->setText(soundName->fontMetrics().elidedText(full, Qt::ElideMiddle, soundName->width()));
        soundName->setToolTip(full);
    }
}

bool MainWindow::ArrangePictures(WorkflowEngine& engine, std::vector<std::u16string>& taken)
{
    PictureDialog pictures(engine, this);
    if (RunPictureDialog(pictures) != QDialog::Accepted || !pictures.Arrangement().Changed()) return false;
    taken = pictures.Arrangement().Taken();
    return true;
}

int MainWindow::RunPictureDialog(PictureDialog& pictures) { return pictures.exec(); }

void MainWindow::EndDialog()
{
    ended = true;
    close();
}

std::u16string MainWindow::ApplicationTitle()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdU16String();
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        dialog.OnOk();
    else if (event->key() == Qt::Key_Escape)
        dialog.OnCancel();
    else if (event->key() == Qt::Key_F1)
        dialog.OnHelp();
    else
        QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (ended) {
        event->accept();
        return;
    }
    dialog.OnCancel();
    event->ignore();
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton) move(event->globalPosition().toPoint() - dragOffset);
}
