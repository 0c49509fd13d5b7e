// A progress bar painted as a colour gradient laid out in bands over the
// whole width and revealed up to the position, with the label and the
// percentage centred over it. Colours are 0x00BBGGRR values.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>

class SkinProgress : public QWidget {
public:
    explicit SkinProgress(QWidget* parent = nullptr);

    void SetRange(std::int32_t lowerBound, std::int32_t upperBound);
    void SetPos(std::int32_t newPosition);
    std::int32_t Pos() const { return position; }
    std::int32_t Lower() const { return lower; }
    std::int32_t Upper() const { return upper; }
    // The label followed by the bracketed percentage, as drawn.
    QString LabelText() const;

    // The whole bar as the paint event puts it on the screen.
    QImage Render(QSize area) const;
    // The height a bar needs to show its label whole, in any of the program's languages.
    static int LabelHeight();

    QString label;
    std::uint32_t startColour = 0x0000FF;
    std::uint32_t endColour = 0xFF0000;
    std::uint32_t backgroundColour;
    std::uint32_t textColour = 0xFFFFFF;
    bool showPercent = true;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static QFont LabelFont();
    void DrawGradient(QImage& target, int fillWidth) const;
    void DrawLabel(QImage& target) const;

    std::int32_t lower = 0;
    std::int32_t upper = 100;
    std::int32_t position = 0;
};
