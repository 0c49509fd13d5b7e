#include "app/PreviewArea.h"

#include <QPainter>

#include <cstring>

PreviewArea::PreviewArea(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QImage PreviewArea::UprightImage(const unsigned char* pixels, int width, int height, int bitsPerPixel, int stride)
{
    if (width <= 0 || height <= 0 || (bitsPerPixel != 24 && bitsPerPixel != 32)) return {};
    const QImage::Format format = bitsPerPixel == 24 ? QImage::Format_BGR888 : QImage::Format_RGB32;
    QImage upright(width, height, format);
    const qsizetype rowBytes = static_cast<qsizetype>(width) * (bitsPerPixel / 8);
    for (int row = 0; row < height; ++row)
        std::memcpy(upright.scanLine(row), pixels + static_cast<qsizetype>(height - 1 - row) * stride, rowBytes);
    return upright;
}

void PreviewArea::ShowFrame(const unsigned char* pixels, int width, int height, int bitsPerPixel, int stride)
{
    QImage upright = UprightImage(pixels, width, height, bitsPerPixel, stride);
    if (upright.isNull()) return;
    frame = std::move(upright);
    update();
}

void PreviewArea::Clear()
{
    frame = QImage();
    update();
}

void PreviewArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (frame.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Rows and columns are dropped, not blended, as COLORONCOLOR stretches.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), frame);
}
