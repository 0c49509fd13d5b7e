#include "app/SkinButton.h"

#include "app/Artwork.h"

#include <QPainter>

SkinButton::SkinButton(QWidget* parent) : QAbstractButton(parent) { setFocusPolicy(Qt::TabFocus); }

bool SkinButton::LoadImages(int normal, int pressed, int focused, int disabled)
{
    normalImage = pressedImage = focusedImage = disabledImage = QImage();
    normalImage = Artwork::Bitmap(normal);
    if (normalImage.isNull()) return false;
    bool complete = true;
    const auto loadSlot = [&complete](QImage& slot, int id) {
        if (id == 0) return;
        slot = Artwork::Bitmap(id);
        complete = complete && !slot.isNull();
    };
    loadSlot(pressedImage, pressed);
    loadSlot(focusedImage, focused);
    loadSlot(disabledImage, disabled);
    return complete;
}

void SkinButton::SizeToImage()
{
    if (!normalImage.isNull()) resize(normalImage.size());
}

QImage SkinButton::CurrentImage() const
{
    if (isDown() && !pressedImage.isNull()) return pressedImage;
    if (hasFocus() && !focusedImage.isNull()) return focusedImage;
    if (!isEnabled() && !disabledImage.isNull()) return disabledImage;
    return normalImage;
}

void SkinButton::paintEvent(QPaintEvent*)
{
    const QImage image = CurrentImage();
    if (image.isNull()) return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), image, QRect(QPoint(0, 0), size()));
}

QSize SkinButton::sizeHint() const { return normalImage.isNull() ? QSize(0, 0) : normalImage.size(); }
