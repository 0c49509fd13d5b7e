// The settings dialog: frame size, seconds per picture, quality, format, how pictures
// become frames, the frame rate and the slide show, in the main window's colours. OK checks the values
// (a refusal says what is wrong and the dialog stays open); Cancel changes nothing.
#pragma once

#include "engine/MovieSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;

class SettingsDialog : public QDialog {
public:
    SettingsDialog(const MovieSettings& settings, QWidget* parent = nullptr);

    // The values as the controls show them.
    MovieSettings Values() const;

    void accept() override;

private:
    void FillQualities();
    void ShowFrameSize();
    void ShowFrameRate();
    QGroupBox* MakeShowGroup(const ShowSettings& show);
    void ShowShowControls();
    ShowSettings ShowValues() const;

    MovieSettings initial;
    QComboBox* frameSize;
    QSpinBox* width;
    QSpinBox* height;
    QDoubleSpinBox* seconds;
    QComboBox* quality;
    QComboBox* format;
    QCheckBox* orientation;
    QComboBox* fit;
    QCheckBox* smooth;
    QCheckBox* constantRate;
    QSpinBox* frameRate;
    QComboBox* transition;
    QSpinBox* transitionMs;
    QCheckBox* fadeInOut;
    QCheckBox* motion;
    QSpinBox* motionStrength;
    QComboBox* caption;
    QLineEdit* captionFile;
    QComboBox* captionPlace;
    QSpinBox* captionSize;
    QComboBox* background;
    QCheckBox* fitToSound;
    QSpinBox* minPictureMs;
    QSpinBox* audioFadeInMs;
    QSpinBox* audioFadeOutMs;
};
