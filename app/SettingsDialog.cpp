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
      frameRate(new QSpinBox(this))
{
    setWindowTitle(Text(UiText("SettingsDialog", "設定")));
    setObjectName(QStringLiteral("settings"));
    // Named for the manual's tour and the tests, which find them as a user would by sight.
    const std::pair<QWidget*, const char*> names[] = {{frameSize, "frameSize"},     {width, "width"},
                                                      {height, "height"},           {seconds, "seconds"},
                                                      {quality, "quality"},         {format, "format"},
                                                      {orientation, "orientation"}, {fit, "fit"},
                                                      {smooth, "smooth"},           {constantRate, "constantRate"},
                                                      {frameRate, "frameRate"}};
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

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(movie);
    layout->addWidget(pictures);
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
