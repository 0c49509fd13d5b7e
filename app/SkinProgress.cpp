#include "app/SkinProgress.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cstdlib>

namespace {

QColor FromColourRef(std::uint32_t colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

std::uint32_t ToColourRef(const QColor& colour)
{
    return static_cast<std::uint32_t>(colour.red()) | static_cast<std::uint32_t>(colour.green()) << 8 |
           static_cast<std::uint32_t>(colour.blue()) << 16;
}

int Channel(std::uint32_t colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

} // namespace

SkinProgress::SkinProgress(QWidget* parent)
    : QWidget(parent), backgroundColour(ToColourRef(palette().color(QPalette::Button)))
{
    // Every pixel is painted each time, so nothing is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SkinProgress::SetRange(std::int32_t lowerBound, std::int32_t upperBound)
{
    lower = lowerBound;
    upper = upperBound;
    position = lowerBound;
    update();
}

void SkinProgress::SetPos(std::int32_t newPosition)
{
    position = newPosition;
    update();
}

QImage SkinProgress::Render(QSize area) const
{
    QImage target(area, QImage::Format_RGB32);
    target.fill(Qt::black);
    const int fillWidth = static_cast<int>(static_cast<double>(position) / upper * area.width());
    DrawGradient(target, fillWidth);
    if (showPercent) DrawLabel(target);
    return target;
}

void SkinProgress::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), Render(size()));
}

void SkinProgress::DrawGradient(QImage& target, int fillWidth) const
{
    const int right = target.width();
    const int bottom = target.height();
    const int dR = Channel(endColour, 0) - Channel(startColour, 0);
    const int dG = Channel(endColour, 8) - Channel(startColour, 8);
    const int dB = Channel(endColour, 16) - Channel(startColour, 16);
    const int steps = std::max({std::abs(dR), std::abs(dG), std::abs(dB)});
    if (steps == 0) return;
    const float bandWidth = static_cast<float>(right) / steps;
    const float rStep = static_cast<float>(dR) / steps;
    const float gStep = static_cast<float>(dG) / steps;
    const float bStep = static_cast<float>(dB) / steps;
    QPainter painter(&target);
    for (int i = 0; i < steps; ++i) {
        const int left = static_cast<int>(i * bandWidth);
        const int bandRight = static_cast<int>((i + 1) * bandWidth);
        const QColor colour(static_cast<int>(Channel(startColour, 0) + i * rStep),
                            static_cast<int>(Channel(startColour, 8) + i * gStep),
                            static_cast<int>(Channel(startColour, 16) + i * bStep));
        painter.fillRect(QRect(QPoint(left, 0), QPoint(bandRight - 1, bottom)), colour);
        if (bandRight > fillWidth) {
            painter.fillRect(QRect(QPoint(bandRight, 0), QPoint(right - 1, bottom - 1)),
                             FromColourRef(backgroundColour));
            return;
        }
    }
}

QString SkinProgress::LabelText() const
{
    const double percent = static_cast<double>(position) * 100.0 / upper;
    return label + QString::asprintf("[%.0f%%]", percent);
}

QFont SkinProgress::LabelFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setWeight(QFont::Normal);
    return font;
}

int SkinProgress::LabelHeight()
{
    const QFontMetrics metrics(LabelFont());
    // Japanese comes from a fallback font, whose glyphs the primary font's line may not hold.
    const QRect ink = metrics.tightBoundingRect(QStringLiteral("動画作成中[100%]"));
    return std::max(metrics.height(), ink.height() + 2);
}

void SkinProgress::DrawLabel(QImage& target) const
{
    QPainter painter(&target);
    painter.setFont(LabelFont());
    painter.setPen(FromColourRef(textColour));
    painter.drawText(target.rect(), Qt::AlignCenter | Qt::TextSingleLine, LabelText());
}
