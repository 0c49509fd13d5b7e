// The black preview and video area: shows the still frame of the first
// picture, then the frames the video renderer hands over while playing.
#pragma once

#include <QImage>
#include <QWidget>

class PreviewArea : public QWidget {
public:
    explicit PreviewArea(QWidget* parent);

    // Bottom-up rows of `stride` bytes, 24 or 32 bits per pixel, as an image top row
    // first; a null image for another depth or no size.
    static QImage UprightImage(const unsigned char* pixels, int width, int height, int bitsPerPixel, int stride);
    // Bottom-up rows of `stride` bytes, 24 or 32 bits per pixel.
    void ShowFrame(const unsigned char* pixels, int width, int height, int bitsPerPixel, int stride);
    // Black again.
    void Clear();
    const QImage& Frame() const { return frame; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage frame;
};
