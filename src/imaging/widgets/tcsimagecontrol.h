#pragma once

#include "imaging/widgets/tcsscreenscaler.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QRgb>
#include <QWidget>

namespace lystra {

// Paints the scaled picture with a one-pixel black frame and a drop shadow
// on its last row and column. It holds the display picture (computed once
// per layout) and the colour table handed to it; mouse input passes through
// it to the scroller.
//
// For a control W x H: the frame covers columns 0..W-2 and rows 0..H-2; the
// bottom row is background for x 0..2 and black from x 3; the right column
// is black from y H-1 up to y 4 and background for y 3..0.
class TcsImageControl : public QWidget {
    Q_OBJECT

public:
    explicit TcsImageControl(QWidget* parent = nullptr);

    // Drops the display picture, moves to rect and makes a new picture of
    // its size (none for an empty or negative size).
    void setImageRect(const TRect& rect);
    QImage& displayImage() { return m_display; }
    void setImagePalette(QList<QRgb> palette) { m_palette = std::move(palette); }
    const QList<QRgb>& imagePalette() const { return m_palette; }
    // The background colour of the shadow's gaps (the scroller's colour).
    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_display;
    QList<QRgb> m_palette;
    QColor m_color = Qt::white;
};

} // namespace lystra
