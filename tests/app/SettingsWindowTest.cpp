#include "app/MainWindow.h"
#include "app/MovieEngineAdapter.h"
#include "app/SettingsDialog.h"
#include "app/SettingsForm.h"
#include "config/IniFile.h"
#include "engine/OutputFormat.h"
#include "platform/com/Com.h"
#include "tests/app/ScriptedWindow.h"
#include "tests/common/FrameColours.h"
#include "tests/common/MovieProbe.h"
#include "tests/platform/TempRegistry.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

template <typename Control>
Control& Find(QWidget& dialog, const char* name)
{
    auto* control = dialog.findChild<Control*>(QString::fromLatin1(name));
    if (!control) throw std::runtime_error(std::string("no control ") + name);
    return *control;
}

// A scripted user at the settings dialog, once it is open: `choose` sets its controls,
// then OK is pressed. Boxes the dialog opens over itself are answered and counted.
class SettingsUser {
public:
    explicit SettingsUser(std::function<void(SettingsDialog&)> choices) : choose(std::move(choices)) {}
    void Act()
    {
        QTimer::singleShot(0, [this] {
            auto* dialog = dynamic_cast<SettingsDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            choose(*dialog);
            QTimer::singleShot(0, [this] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    refusals << box->text();
                    box->accept();
                }
            });
            dialog->accept();
            if (dialog->isVisible()) dialog->reject();
        });
    }
    QStringList refusals;

private:
    std::function<void(SettingsDialog&)> choose;
};

class SettingsWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        work = registry.Path().parent_path();
        previous = fs::current_path();
        fs::create_directory(work / "run");
        fs::current_path(work / "run");
        setenv("XDG_CONFIG_HOME", (work / "xdg").c_str(), 1);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        unsetenv("XDG_CONFIG_HOME");
    }
    TempRegistry registry;
    fs::path work;
    fs::path previous;
    int argc = 1;
    char name[17] = "app-window-tests";
    char* argv[2] = {name, nullptr};
};

TEST_F(SettingsWindow, EachControlSetsItsValueAndTheQualityFollowsTheSize)
{
    QApplication application(argc, argv);
    MovieSettings start;
    start.quality = 185000;
    SettingsDialog dialog(start);
    EXPECT_EQ(Find<QComboBox>(dialog, "quality").currentText(), QStringLiteral("その他 (185 kbit/s)"));
    EXPECT_FALSE(Find<QSpinBox>(dialog, "width").isEnabled()) << "640x480 is a preset";
    EXPECT_EQ(Find<QComboBox>(dialog, "format").currentText(), QStringLiteral("WMV")) << "no format chosen yet";

    Find<QComboBox>(dialog, "frameSize").setCurrentIndex(5);
    Find<QComboBox>(dialog, "quality").setCurrentIndex(SettingsForm::Best);
    EXPECT_EQ(Find<QComboBox>(dialog, "quality").currentText(), QStringLiteral("最高 (8,294 kbit/s)"));
    Find<QDoubleSpinBox>(dialog, "seconds").setValue(2.25);
    Find<QComboBox>(dialog, "format").setCurrentIndex(1);
    Find<QCheckBox>(dialog, "orientation").setChecked(true);
    Find<QComboBox>(dialog, "fit").setCurrentIndex(2);
    Find<QCheckBox>(dialog, "smooth").setChecked(true);
    EXPECT_FALSE(Find<QSpinBox>(dialog, "frameRate").isEnabled());
    Find<QCheckBox>(dialog, "constantRate").setChecked(true);
    Find<QSpinBox>(dialog, "frameRate").setValue(30);
    MovieSettings chosen = dialog.Values();
    EXPECT_EQ(chosen.width, 1080);
    EXPECT_EQ(chosen.height, 1920);
    EXPECT_EQ(chosen.quality, 8294000);
    EXPECT_EQ(chosen.frameSpeed, 2250);
    EXPECT_EQ(chosen.format, OutputFormat::Webm);
    EXPECT_EQ(chosen.picture.orientation, OrientationExif);
    EXPECT_EQ(chosen.picture.fit, FitCrop);
    EXPECT_EQ(chosen.picture.scaling, ScalingSmooth);
    EXPECT_EQ(chosen.frameRate, 30);

    // A size of one's own: the sides open, the level's rate follows them.
    Find<QComboBox>(dialog, "frameSize").setCurrentIndex(Find<QComboBox>(dialog, "frameSize").count() - 1);
    ASSERT_TRUE(Find<QSpinBox>(dialog, "width").isEnabled());
    Find<QSpinBox>(dialog, "width").setValue(1000);
    Find<QSpinBox>(dialog, "height").setValue(500);
    chosen = dialog.Values();
    EXPECT_EQ(chosen.width, 1000);
    EXPECT_EQ(chosen.quality, SettingsForm::QualityRate(SettingsForm::Best, 1000, 500));
    EXPECT_EQ(Find<QComboBox>(dialog, "quality").count(), SettingsForm::kQualityLevels + 1)
        << "the user's own 185 kbit/s stays offered";
}

TEST_F(SettingsWindow, OkRefusesAFrameTheFormatCannotEncodeAndStaysOpen)
{
    QApplication application(argc, argv);
    SettingsDialog dialog{MovieSettings{}};
    SettingsUser user([](SettingsDialog& open) {
        Find<QComboBox>(open, "frameSize").setCurrentIndex(Find<QComboBox>(open, "frameSize").count() - 1);
        Find<QSpinBox>(open, "width").setValue(16384);
        Find<QSpinBox>(open, "height").setValue(16384);
        Find<QComboBox>(open, "format").setCurrentIndex(0);
    });
    user.Act();
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    ASSERT_EQ(user.refusals.size(), 1);
    EXPECT_EQ(user.refusals[0],
              QStringLiteral("MP4 と WebM の動画は 3560 万画素までです。小さいサイズを選んでください"));
}

// A new user without any settings file: the dialog writes the user's file, the movie is
// made with it and the chosen sound (read back with ffprobe), and a config.ini in the current
// folder then wins.
TEST_F(SettingsWindow, AMovieMadeThroughTheSettingsDialogHasItsSizeLengthAndOrder)
{
    ASSERT_EQ(std::system((std::string(REGSVR_PATH) + " " + XTPPIC_PATH + " >/dev/null 2>&1").c_str()), 0);
    const fs::path pictures = work / "pictures";
    fs::create_directory(pictures);
    const char* colours[] = {"#ff0000", "#00ff00", "#0000ff"};
    for (int i = 0; i < 3; ++i) {
        QImage picture(320, 240, QImage::Format_RGB32);
        picture.fill(QColor(QString::fromLatin1(colours[i])));
        ASSERT_TRUE(picture.save(QString::fromStdString((pictures / ("photo" + std::to_string(i) + ".jpg")).string())));
    }
    const fs::path userFile = work / "xdg" / "reelsmith" / "config.ini";
    const fs::path movie = work / "holiday.mp4";

    QApplication application(argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ScriptedWindow window([] { return std::make_unique<MovieEngineAdapter>(); });
        window.Start();
        EXPECT_EQ(window.SoundName().text(), QStringLiteral("音声なし"));
        SettingsUser user([](SettingsDialog& open) {
            Find<QComboBox>(open, "frameSize").setCurrentIndex(0);
            Find<QDoubleSpinBox>(open, "seconds").setValue(0.5);
            Find<QComboBox>(open, "quality").setCurrentIndex(SettingsForm::High);
            Find<QComboBox>(open, "format").setCurrentIndex(0);
            Find<QComboBox>(open, "fit").setCurrentIndex(1);
        });
        user.Act();
        window.Button(SettingsControl)->click();
        EXPECT_TRUE(user.refusals.isEmpty());
        IniFile written(userFile.string());
        ASSERT_TRUE(written.Load()) << "the user's own file was written";
        EXPECT_EQ(written.GetInt("Screen", "FrameSpeed", -1), 500);
        EXPECT_EQ(written.GetValue("Output", "Format", ""), "mp4");
        EXPECT_EQ(written.GetValue("Picture", "Fit", ""), "letterbox");

        window.folder = QString::fromStdString(pictures.string()).toStdU16String();
        window.Button(StartControl)->click();
        window.openFile = QStringLiteral(SAMPLES_DIR "/chord.wav").toStdU16String();
        window.Button(SoundControl)->click();
        EXPECT_EQ(window.SoundName().toolTip(), QStringLiteral("\u266A chord.wav (0:02)"));
        EXPECT_TRUE(window.Button(NoSoundControl)->isEnabled());
        window.movie = QString::fromStdString(movie.string()).toStdU16String();
        window.Button(AnimateControl)->click();
        EXPECT_EQ(window.firstType, QStringLiteral("*.mp4"));
        EXPECT_EQ(window.offeredExtension, QStringLiteral(".mp4"));
        QElapsedTimer bound;
        bound.start();
        while (window.messages.size() < 2 && bound.elapsed() < 60000)
            application.processEvents(QEventLoop::AllEvents, 50);
        ASSERT_EQ(window.messages.size(), 2);
    }
    // The sound under the pictures, as --audio lays it: cut at the movie's end.
    const MovieProbe probe = MovieProbe::Of(movie.string());
    const int video = probe.StreamOf("video");
    EXPECT_EQ(probe.StreamField(video, "codec_name"), "h264");
    EXPECT_EQ(probe.StreamField(video, "width") + "x" + probe.StreamField(video, "height"), "640x480");
    EXPECT_EQ(probe.StreamField(video, "duration"), "1.500000");
    EXPECT_EQ(probe.StreamField(probe.StreamOf("audio"), "codec_name"), "aac");
    EXPECT_EQ(FrameColours(movie.string(), 640, 480), "rgb");

    // A config.ini in the current folder is read and written instead; the user's file stays.
    std::ofstream("config.ini") << "[Screen]\nwidth=320\n; mine\n";
    const std::string userText = [&] {
        std::ifstream in(userFile);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    {
        ScriptedWindow window([] { return std::make_unique<MovieEngineAdapter>(); });
        window.Start();
        SettingsUser user([](SettingsDialog& open) { Find<QComboBox>(open, "frameSize").setCurrentIndex(1); });
        user.Act();
        window.Button(SettingsControl)->click();
    }
    CoUninitialize();
    IniFile here("config.ini");
    ASSERT_TRUE(here.Load());
    EXPECT_EQ(here.GetInt("Screen", "width", -1), 1280);
    EXPECT_EQ(here.Sections()[0].comments, std::vector<std::string>{" mine"});
    std::ifstream in(userFile);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), userText);
}

TEST_F(SettingsWindow, TheSlideShowControlsAreWrittenAsTheShowKeysAndReadBack)
{
    ASSERT_EQ(std::system((std::string(REGSVR_PATH) + " " + XTPPIC_PATH + " >/dev/null 2>&1").c_str()), 0);
    // Comments and keys the dialog does not know stay in the file.
    std::ofstream("config.ini") << "[Screen]\nwidth=640\nheight=480\nFrameSpeed=500\nQuality=185000\n"
                                   "[System]\nWorkThreadPriority=0\n[Show]\n; my show\nSparkle=yes\n";
    QApplication application(argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ScriptedWindow window([] { return std::make_unique<MovieEngineAdapter>(); });
        window.Start();
        SettingsUser user([](SettingsDialog& open) {
            EXPECT_FALSE(Find<QSpinBox>(open, "minPictureMs").isEnabled());
            EXPECT_FALSE(Find<QLineEdit>(open, "captionFile").isEnabled());
            Find<QComboBox>(open, "transition").setCurrentIndex(TransitionSlideLeft);
            Find<QSpinBox>(open, "transitionMs").setValue(700);
            Find<QCheckBox>(open, "fadeInOut").setChecked(true);
            Find<QCheckBox>(open, "motion").setChecked(true);
            Find<QSpinBox>(open, "motionStrength").setValue(25);
            Find<QComboBox>(open, "caption").setCurrentIndex(CaptionFromFile);
            EXPECT_TRUE(Find<QLineEdit>(open, "captionFile").isEnabled());
            Find<QLineEdit>(open, "captionFile").setText(QStringLiteral("captions.txt"));
            Find<QComboBox>(open, "captionPlace").setCurrentIndex(CaptionTop);
            Find<QSpinBox>(open, "captionSize").setValue(8);
            Find<QComboBox>(open, "background").setCurrentIndex(BackgroundBlur);
            Find<QCheckBox>(open, "fitToSound").setChecked(true);
            EXPECT_TRUE(Find<QSpinBox>(open, "minPictureMs").isEnabled());
            Find<QSpinBox>(open, "minPictureMs").setValue(1500);
            Find<QSpinBox>(open, "audioFadeInMs").setValue(300);
            Find<QSpinBox>(open, "audioFadeOutMs").setValue(2000);
        });
        user.Act();
        window.Button(SettingsControl)->click();
        EXPECT_TRUE(user.refusals.isEmpty());
        // Opened again, the dialog shows what the file now says.
        SettingsUser again([](SettingsDialog& open) {
            EXPECT_EQ(Find<QComboBox>(open, "transition").currentIndex(), TransitionSlideLeft);
            EXPECT_EQ(Find<QSpinBox>(open, "audioFadeOutMs").value(), 2000);
            EXPECT_EQ(Find<QLineEdit>(open, "captionFile").text(), QStringLiteral("captions.txt"));
        });
        again.Act();
        window.Button(SettingsControl)->click();
    }
    CoUninitialize();
    IniFile written("config.ini");
    ASSERT_TRUE(written.Load());
    const std::pair<const char*, const char*> expected[] = {
        {"Transition", "slideleft"},     {"TransitionMs", "700"},    {"FadeInOut", "1"},
        {"Motion", "kenburns"},          {"MotionStrength", "25"},   {"Caption", "file"},
        {"CaptionFile", "captions.txt"}, {"CaptionPlace", "top"},    {"CaptionSize", "8"},
        {"Background", "blur"},          {"FitToSound", "1"},        {"MinPictureMs", "1500"},
        {"AudioFadeInMs", "300"},        {"AudioFadeOutMs", "2000"}, {"Sparkle", "yes"}};
    for (const auto& [key, value] : expected) EXPECT_EQ(written.GetValue("Show", key, ""), value) << key;
    EXPECT_EQ(written.Sections()[static_cast<std::size_t>(written.FindSection("Show"))].comments,
              std::vector<std::string>{" my show"});
}

} // namespace
