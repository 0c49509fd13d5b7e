#include "app/SettingsDialog.h"

#include "app/SettingsForm.h"
#include "engine/OutputFormat.h"
#include "platform/resource/UiText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace {

QString Text(const std::u16string& text) { return QString::fromStdU16String(text); }

// The skin's colours: deep blue, its panel, the frame's light blue, the orange accent.
const char* const kStyle = "QDialog { background: #1b2a49; }"
                           "QGroupBox { color: #e8eefc; border: 2px solid #4a6fa5; border-radius: 10px;"
                           " margin-top: 12px; padding: 8px; background: #22345a; font-weight: bold; }"
                           "QGroupBox::title { subcontrol-origin: margin; left: 12px; padding: 0 4px; }"
                           "QLabel, QCheckBox { color: #e8eefc; font-weight: normal; }"
                           "QComboBox, QSpinBox, QDoubleSpinBox { background: #e8eefc; color: #0b1020;"
                           " border-radius: 4px; padding: 2px 4px; }"
                           "QComboBox:disabled, QSpinBox:disabled { background: #6b6f78; color: #b0b3ba; }"
                           "QPushButton { color: white; background: #3b6fd8; border: 2px solid #e8eefc;"
                           " border-radius: 10px; padding: 6px 18px; font-weight: bold; }"
                           "QPushButton:pressed { border-color: #ffb347; color: #ffe2b8; }";

constexpr int kCustomSize = -1;

} // namespace

SettingsDialog::SettingsDialog(const MovieSettings& settings, QWidget* parent)
    : QDialog(parent),
      initial(settings),
      frameSize(new QComboBox(this)),
      width(new QSpinBox(this)),
      height(new QSpinBox(this)),
      seconds(new QDoubleSpinBox(this)),
      quality(new QComboBox(this)),
      format(new QComboBox(this)),
      orientation(new QCheckBox(Text(UiText("SettingsDialog", "Exif の向きで写真を立てる")), this)),
      fit(new QComboBox(this)),
      smooth(new QCheckBox(Text(UiText("SettingsDialog", "なめらかに拡大縮小する")), this)),
      constantRate(new QCheckBox(Text(UiText("SettingsDialog", "一定のフレームレート (MP4、WebM)")), this)),
      frameRate(new QSpinBox(this)),
      transition(new QComboBox(this)),
      transitionMs(new QSpinBox(this)),
      fadeInOut(new QCheckBox(Text(UiText("SettingsDialog", "最初は黒から現れ、最後は黒へ消える")), this)),
      motion(new QCheckBox(Text(UiText("SettingsDialog", "ゆっくりズームとパン (Ken Burns)")), this)),
      motionStrength(new QSpinBox(this)),
      caption(new QComboBox(this)),
      captionFile(new QLineEdit(this)),
      captionPlace(new QComboBox(this)),
      captionSize(new QSpinBox(this)),
      background(new QComboBox(this)),
      fitToSound(new QCheckBox(Text(UiText("SettingsDialog", "写真を音楽の長さに合わせる")), this)),
      minPictureMs(new QSpinBox(this)),
      audioFadeInMs(new QSpinBox(this)),
      audioFadeOutMs(new QSpinBox(this))
{
    setWindowTitle(Text(UiText("SettingsDialog", "設定")));
    setObjectName(QStringLiteral("settings"));
    // Named for the manual's tour and the tests, which find them as a user would by sight.
    const std::pair<QWidget*, const char*> names[] = {{frameSize, "frameSize"},
                                                      {width, "width"},
                                                      {height, "height"},
                                                      {seconds, "seconds"},
                                                      {quality, "quality"},
                                                      {format, "format"},
                                                      {orientation, "orientation"},
                                                      {fit, "fit"},
                                                      {smooth, "smooth"},
                                                      {constantRate, "constantRate"},
                                                      {frameRate, "frameRate"},
                                                      {transition, "transition"},
                                                      {transitionMs, "transitionMs"},
                                                      {fadeInOut, "fadeInOut"},
                                                      {motion, "motion"},
                                                      {motionStrength, "motionStrength"},
                                                      {caption, "caption"},
                                                      {captionFile, "captionFile"},
                                                      {captionPlace, "captionPlace"},
                                                      {captionSize, "captionSize"},
                                                      {background, "background"},
                                                      {fitToSound, "fitToSound"},
                                                      {minPictureMs, "minPictureMs"},
                                                      {audioFadeInMs, "audioFadeInMs"},
                                                      {audioFadeOutMs, "audioFadeOutMs"}};
    for (const auto& [widget, name] : names) widget->setObjectName(QString::fromLatin1(name));
    setStyleSheet(QString::fromLatin1(kStyle));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    setFont(font);

    for (const SettingsForm::FrameSize& size : SettingsForm::kFrameSizes)
        frameSize->addItem(QString::fromStdU16String(SettingsForm::FrameSizeLabel(size)));
    frameSize->addItem(Text(UiText("SettingsDialog", "カスタム")), kCustomSize);
    for (QSpinBox* side : {width, height}) side->setRange(MovieSettings::kMinSide, MovieSettings::kMaxSide);
    width->setValue(settings.width);
    height->setValue(settings.height);
    const int preset = SettingsForm::FrameSizeIndex(settings.width, settings.height);
    frameSize->setCurrentIndex(preset >= 0 ? preset : frameSize->count() - 1);

    seconds->setRange(0.01, MovieSettings::kMaxFrameSpeed / 1000.0);
    seconds->setDecimals(2);
    seconds->setSingleStep(0.5);
    seconds->setValue(settings.frameSpeed / 1000.0);
    seconds->setSuffix(Text(UiText("SettingsDialog", " 秒")));

    format->addItem(QStringLiteral("MP4"), static_cast<int>(OutputFormat::Mp4));
    format->addItem(QStringLiteral("WebM"), static_cast<int>(OutputFormat::Webm));
    format->addItem(QStringLiteral("WMV"), static_cast<int>(OutputFormat::Wmv));
    // No format chosen yet: the Save chooser proposes WMV, as it always has.
    const int shownFormat = settings.format == OutputFormat::None ? OutputFormat::Wmv : settings.format;
    format->setCurrentIndex(format->findData(shownFormat));

    orientation->setChecked(settings.picture.orientation == OrientationExif);
    fit->addItem(Text(UiText("SettingsDialog", "引き伸ばす (縦横比は変わる)")), static_cast<int>(FitStretch));
    fit->addItem(Text(UiText("SettingsDialog", "全体を収める (黒い帯)")), static_cast<int>(FitLetterbox));
    fit->addItem(Text(UiText("SettingsDialog", "画面を埋める (はみ出しは切る)")), static_cast<int>(FitCrop));
    fit->setCurrentIndex(fit->findData(static_cast<int>(settings.picture.fit)));
    smooth->setChecked(settings.picture.scaling == ScalingSmooth);
    constantRate->setChecked(settings.frameRate > 0);
    frameRate->setRange(1, MovieSettings::kMaxFrameRate);
    frameRate->setValue(settings.frameRate > 0 ? settings.frameRate : 25);
    frameRate->setSuffix(QStringLiteral(" fps"));

    auto* movie = new QGroupBox(Text(UiText("SettingsDialog", "動画")), this);
    auto* movieForm = new QFormLayout(movie);
    auto* sides = new QHBoxLayout;
    sides->addWidget(width);
    sides->addWidget(new QLabel(QStringLiteral("x"), this));
    sides->addWidget(height);
    movieForm->addRow(Text(UiText("SettingsDialog", "サイズ")), frameSize);
    movieForm->addRow(QString(), sides);
    movieForm->addRow(Text(UiText("SettingsDialog", "1 枚の表示時間")), seconds);
    movieForm->addRow(Text(UiText("SettingsDialog", "画質")), quality);
    movieForm->addRow(Text(UiText("SettingsDialog", "形式")), format);
    auto* rate = new QHBoxLayout;
    rate->addWidget(constantRate);
    rate->addWidget(frameRate);
    movieForm->addRow(rate);

    auto* pictures = new QGroupBox(Text(UiText("SettingsDialog", "写真")), this);
    auto* pictureForm = new QFormLayout(pictures);
    pictureForm->addRow(orientation);
    pictureForm->addRow(Text(UiText("SettingsDialog", "収め方")), fit);
    pictureForm->addRow(smooth);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);

    // The show beside the movie and its pictures, so that the dialog fits a small screen.
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(movie);
    left->addWidget(pictures);
    left->addStretch();
    columns->addLayout(left);
    columns->addWidget(MakeShowGroup(settings.show));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);

    FillQualities();
    const int level = SettingsForm::QualityLevelOf(settings);
    quality->setCurrentIndex(quality->findData(level));
    ShowFrameSize();
    ShowFrameRate();
    connect(frameSize, &QComboBox::currentIndexChanged, this, [this] {
        ShowFrameSize();
        FillQualities();
    });
    for (QSpinBox* side : {width, height}) connect(side, &QSpinBox::valueChanged, this, [this] { FillQualities(); });
    connect(constantRate, &QCheckBox::toggled, this, [this] { ShowFrameRate(); });
}

QGroupBox* SettingsDialog::MakeShowGroup(const ShowSettings& show)
{
    const ShowOptions& options = show.options;
    const char* const transitions[] = {
        UI_TEXT_NOOP("SettingsDialog", "なし (切り替え)"), UI_TEXT_NOOP("SettingsDialog", "クロスフェード"),
        UI_TEXT_NOOP("SettingsDialog", "黒を挟んでフェード"), UI_TEXT_NOOP("SettingsDialog", "左へワイプ"),
        UI_TEXT_NOOP("SettingsDialog", "左へスライド")};
    for (const char* name : transitions) transition->addItem(Text(UiText("SettingsDialog", name)));
    transition->setCurrentIndex(options.transition);
    transitionMs->setRange(0, ShowOptions::kMaxTransitionMs);
    transitionMs->setSingleStep(100);
    transitionMs->setValue(options.transitionMs);
    fadeInOut->setChecked(options.fadeInOut != 0);
    motion->setChecked(options.motion == MotionKenBurns);
    motionStrength->setRange(0, ShowOptions::kMaxMotionStrength);
    motionStrength->setValue(options.motionStrength);
    motionStrength->setSuffix(QStringLiteral(" %"));
    const char* const captions[] = {
        UI_TEXT_NOOP("SettingsDialog", "なし"), UI_TEXT_NOOP("SettingsDialog", "ファイル名"),
        UI_TEXT_NOOP("SettingsDialog", "撮影日"), UI_TEXT_NOOP("SettingsDialog", "字幕ファイルから")};
    for (const char* name : captions) caption->addItem(Text(UiText("SettingsDialog", name)));
    caption->setCurrentIndex(options.caption);
    captionFile->setText(QString::fromStdString(show.captionFile));
    captionFile->setPlaceholderText(Text(UiText("SettingsDialog", "字幕ファイルのパス")));
    captionFile->setToolTip(Text(UiText("SettingsDialog", "UTF-8 のテキスト: 1 行に写真のファイル名、タブ、字幕")));
    captionPlace->addItem(Text(UiText("SettingsDialog", "下")));
    captionPlace->addItem(Text(UiText("SettingsDialog", "上")));
    captionPlace->setCurrentIndex(options.captionPlace);
    captionSize->setRange(ShowOptions::kMinCaptionSize, ShowOptions::kMaxCaptionSize);
    captionSize->setValue(options.captionSize);
    captionSize->setSuffix(QStringLiteral(" %"));
    background->addItem(Text(UiText("SettingsDialog", "黒")));
    background->addItem(Text(UiText("SettingsDialog", "ぼかした写真")));
    background->setCurrentIndex(options.background);
    fitToSound->setChecked(show.fitToSound != 0);
    for (QSpinBox* ms : {transitionMs, minPictureMs, audioFadeInMs, audioFadeOutMs})
        ms->setSuffix(Text(UiText("SettingsDialog", " ミリ秒")));
    minPictureMs->setRange(1, MovieSettings::kMaxFrameSpeed);
    minPictureMs->setSingleStep(100);
    minPictureMs->setValue(show.minPictureMs);
    for (QSpinBox* fade : {audioFadeInMs, audioFadeOutMs}) {
        fade->setRange(0, ShowSettings::kMaxAudioFadeMs);
        fade->setSingleStep(100);
    }
    audioFadeInMs->setValue(show.audioFadeInMs);
    audioFadeOutMs->setValue(show.audioFadeOutMs);

    auto* group = new QGroupBox(Text(UiText("SettingsDialog", "スライドショー")), this);
    auto* form = new QFormLayout(group);
    form->addRow(Text(UiText("SettingsDialog", "切り替え効果")), transition);
    form->addRow(Text(UiText("SettingsDialog", "効果の長さ")), transitionMs);
    form->addRow(fadeInOut);
    auto* moving = new QHBoxLayout;
    moving->addWidget(motion);
    moving->addWidget(motionStrength);
    form->addRow(moving);
    form->addRow(Text(UiText("SettingsDialog", "字幕")), caption);
    form->addRow(QString(), captionFile);
    auto* place = new QHBoxLayout;
    place->addWidget(captionPlace);
    place->addWidget(captionSize);
    form->addRow(Text(UiText("SettingsDialog", "字幕の位置と大きさ")), place);
    form->addRow(Text(UiText("SettingsDialog", "余白")), background);
    form->addRow(fitToSound);
    form->addRow(Text(UiText("SettingsDialog", "1 枚の最短時間")), minPictureMs);
    form->addRow(Text(UiText("SettingsDialog", "音のフェードイン")), audioFadeInMs);
    form->addRow(Text(UiText("SettingsDialog", "音のフェードアウト")), audioFadeOutMs);
    ShowShowControls();
    connect(transition, &QComboBox::currentIndexChanged, this, [this] { ShowShowControls(); });
    connect(motion, &QCheckBox::toggled, this, [this] { ShowShowControls(); });
    connect(fadeInOut, &QCheckBox::toggled, this, [this] { ShowShowControls(); });
    connect(caption, &QComboBox::currentIndexChanged, this, [this] { ShowShowControls(); });
    connect(fitToSound, &QCheckBox::toggled, this, [this] { ShowShowControls(); });
    return group;
}

// A control whose setting has no effect with the choices made is greyed.
void SettingsDialog::ShowShowControls()
{
    transitionMs->setEnabled(transition->currentIndex() != TransitionNone || fadeInOut->isChecked());
    motionStrength->setEnabled(motion->isChecked());
    captionFile->setEnabled(caption->currentIndex() == CaptionFromFile);
    captionPlace->setEnabled(caption->currentIndex() != CaptionNone);
    captionSize->setEnabled(caption->currentIndex() != CaptionNone);
    minPictureMs->setEnabled(fitToSound->isChecked());
}

ShowSettings SettingsDialog::ShowValues() const
{
    ShowSettings show = initial.show;
    show.options.transition = transition->currentIndex();
    show.options.transitionMs = transitionMs->value();
    show.options.fadeInOut = fadeInOut->isChecked() ? 1 : 0;
    show.options.motion = motion->isChecked() ? MotionKenBurns : MotionNone;
    show.options.motionStrength = motionStrength->value();
    show.options.caption = caption->currentIndex();
    show.captionFile = captionFile->text().toStdString();
    show.options.captionPlace = captionPlace->currentIndex();
    show.options.captionSize = captionSize->value();
    show.options.background = background->currentIndex();
    show.fitToSound = fitToSound->isChecked() ? 1 : 0;
    show.minPictureMs = minPictureMs->value();
    show.audioFadeInMs = audioFadeInMs->value();
    show.audioFadeOutMs = audioFadeOutMs->value();
    return show;
}

// The levels' rates follow the frame size; a rate of the user's own stays offered.
void SettingsDialog::FillQualities()
{
    const int chosen = quality->count() > 0 ? quality->currentData().toInt() : SettingsForm::Medium;
    quality->clear();
    for (int level = 0; level < SettingsForm::kQualityLevels; ++level) {
        const std::int32_t rate = SettingsForm::QualityRate(level, width->value(), height->value());
        quality->addItem(QString::fromStdU16String(SettingsForm::QualityLabel(level, rate)), level);
    }
    if (SettingsForm::QualityLevelOf(initial) < 0)
        quality->addItem(QString::fromStdU16String(SettingsForm::QualityLabel(-1, initial.quality)), -1);
    quality->setCurrentIndex(std::max(0, quality->findData(chosen)));
}

void SettingsDialog::ShowFrameSize()
{
    const int index = frameSize->currentIndex();
    const bool custom = frameSize->currentData().toInt() == kCustomSize;
    if (!custom) {
        const QSignalBlocker keepWidth(width);
        const QSignalBlocker keepHeight(height);
        width->setValue(SettingsForm::kFrameSizes[static_cast<std::size_t>(index)].width);
        height->setValue(SettingsForm::kFrameSizes[static_cast<std::size_t>(index)].height);
    }
    width->setEnabled(custom);
    height->setEnabled(custom);
}

void SettingsDialog::ShowFrameRate() { frameRate->setEnabled(constantRate->isChecked()); }

MovieSettings SettingsDialog::Values() const
{
    MovieSettings values = initial;
    values.width = width->value();
    values.height = height->value();
    values.frameSpeed = static_cast<std::int32_t>(std::lround(seconds->value() * 1000));
    const int level = quality->currentData().toInt();
    values.quality = level < 0 ? initial.quality : SettingsForm::QualityRate(level, values.width, values.height);
    values.format = format->currentData().toInt();
    values.picture.orientation = orientation->isChecked() ? OrientationExif : OrientationIgnore;
    values.picture.fit = fit->currentData().toInt();
    values.picture.scaling = smooth->isChecked() ? ScalingSmooth : ScalingNearest;
    values.frameRate = constantRate->isChecked() ? frameRate->value() : 0;
    values.show = ShowValues();
    return values;
}

void SettingsDialog::accept()
{
    const std::u16string problem = SettingsForm::Problem(Values());
    if (!problem.empty()) {
        QMessageBox::warning(this, Text(UiText("SettingsDialog", "設定")), QString::fromStdU16String(problem));
        return;
    }
    QDialog::accept();
}
