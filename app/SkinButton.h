// A push button drawn entirely from bitmaps: one picture per state, copied
// unscaled, with no focus rectangle and no pressed offset.
#pragma once

#include <QAbstractButton>
#include <QImage>

class SkinButton : public QAbstractButton {
public:
    explicit SkinButton(QWidget* parent = nullptr);

    // Resource numbers, 0 for none. False when the normal image is missing
    // (then nothing else is loaded) or any other requested image is.
    bool LoadImages(int normal, int pressed, int focused = 0, int disabled = 0);
    void SizeToImage();

    // The picture the button shows in its present state (null when none).
    QImage CurrentImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    QSize sizeHint() const override;

private:
    QImage normalImage;
    QImage pressedImage;
    QImage focusedImage;
    QImage disabledImage;
};
