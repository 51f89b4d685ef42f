#include "imaging/widgets/tcsimagecontrol.h"

#include <QPainter>

namespace lystra {

TcsImageControl::TcsImageControl(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ImageControl"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);
}

void TcsImageControl::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void TcsImageControl::setImageRect(const TRect& rect)
{
    m_display = QImage();
    setGeometry(0, 0, 0, 0);
    setGeometry(rect.left, rect.top, std::max(rect.width(), 0), std::max(rect.height(), 0));
    if (rect.width() > 0 && rect.height() > 0) {
        m_display = QImage(rect.width(), rect.height(), QImage::Format_RGB32);
        m_display.fill(Qt::white);
    }
    update();
}

void TcsImageControl::paintEvent(QPaintEvent*)
{
    if (m_display.isNull())
        return;
    const int w = width();
    const int h = height();
    QPainter painter(this);
    painter.drawImage(0, 0, m_display);

    // Frame: columns 0..w-2, rows 0..h-2.
    const QColor black(Qt::black);
    painter.fillRect(0, 0, w - 1, 1, black);
    painter.fillRect(0, h - 2, w - 1, 1, black);
    painter.fillRect(0, 0, 1, h - 1, black);
    painter.fillRect(w - 2, 0, 1, h - 1, black);

    // Shadow on the last row and column, offset by the gaps at its start.
    painter.fillRect(0, h - 1, std::min(3, w), 1, m_color);
    painter.fillRect(3, h - 1, std::max(w - 3, 0), 1, black);
    painter.fillRect(w - 1, 4, 1, std::max(h - 4, 0), black);
    painter.fillRect(w - 1, 0, 1, std::min(4, h - 1), m_color);
}

} // namespace lystra
