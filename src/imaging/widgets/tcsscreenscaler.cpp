#include "imaging/widgets/tcsscreenscaler.h"

#include "imaging/tcsbitmap.h"
#include "platform/exception.h"
#include "platform/rounding.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>

#include <cmath>

namespace lystra {

namespace {

constexpr int kDefaultCrtHeight = 240;
// The drawn image leaves room for the drop shadow and the frame.
constexpr int kShadowWidth = 4;
constexpr int kShadowHeight = 6;

std::optional<TDisplayMetrics>& fixedMetrics()
{
    static std::optional<TDisplayMetrics> fixed;
    return fixed;
}

} // namespace

TDisplayMetrics TDisplayMetrics::current()
{
    if (fixedMetrics())
        return *fixedMetrics();
    TDisplayMetrics m;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m.screenHeightPixels = screen->geometry().height();
        m.screenHeightMillimetres = int(std::lround(screen->physicalSize().height()));
    }
    if (const QStyle* style = QApplication::style()) {
        m.hScrollHeight = style->pixelMetric(QStyle::PM_ScrollBarExtent);
        m.vScrollWidth = m.hScrollHeight;
    }
    return m;
}

void TDisplayMetrics::setFixed(std::optional<TDisplayMetrics> metrics)
{
    fixedMetrics() = metrics;
}

TcsScreenScaler::TcsScreenScaler(const TDisplayMetrics& metrics)
    : m_crtHeight(metrics.screenHeightMillimetres > 0 ? metrics.screenHeightMillimetres
                                                      : kDefaultCrtHeight),
      m_screenHeightPixels(metrics.screenHeightPixels),
      m_screenPixelsPerMm(double(metrics.screenHeightPixels) / m_crtHeight),
      m_hScrollHeight(metrics.hScrollHeight), m_vScrollWidth(metrics.vScrollWidth)
{
}

void TcsScreenScaler::setCenter(bool center)
{
    if (center == m_center)
        return;
    m_center = center;
    recalculate();
}

void TcsScreenScaler::setFitMode(TFitMode mode)
{
    if (mode == m_fitMode)
        return;
    m_fitMode = mode;
    recalculate();
}

void TcsScreenScaler::setCrtHeight(int millimetres)
{
    if (millimetres == m_crtHeight)
        return;
    // The screen resolution is divided by this height: a height of nothing
    // is refused rather than turned into an infinite resolution.
    if (millimetres <= 0)
        throw Exception(QStringLiteral("Floating point division by zero"));
    m_crtHeight = millimetres;
    m_screenPixelsPerMm = double(m_screenHeightPixels) / m_crtHeight;
}

void TcsScreenScaler::setImage(const TBitmapInfoHeader* header)
{
    if (header) {
        m_imageRect = {0, 0, header->width, std::abs(header->height)};
        m_imagePixelsPerMm = header->xPelsPerMeter / 1000.0;
    } else {
        m_imageRect = {};
        m_imagePixelsPerMm = 0;
    }
}

void TcsScreenScaler::setClientRect(const TRect& rect)
{
    if (rect == m_clientRect)
        return;
    m_clientRect = rect;
    recalculate();
}

double TcsScreenScaler::fitScale() const
{
    const double w = m_imageRect.width();
    const double h = m_imageRect.height();
    const double cw = m_clientRect.right;
    const double ch = m_clientRect.bottom;
    switch (m_fitMode) {
    case fmNone:
    case fmZoom: return 1;
    case fmNormalized:
        if (m_imagePixelsPerMm == 0)
            return 1;
        return std::min(1.0, m_screenPixelsPerMm / m_imagePixelsPerMm);
    case fmInWindow:
        if (h == 0 || w == 0)
            return 1;
        return std::min(ch / h, cw / w);
    case fmToHeight: {
        if (h == 0)
            return 1;
        const double scale = ch / h;
        // The image will be wider than the client: leave room for the
        // horizontal scroll bar that appears.
        return cw < roundHalfEven(w * scale) ? (ch - m_hScrollHeight) / h : scale;
    }
    case fmToWidth: {
        if (w == 0)
            return 1;
        const double scale = cw / w;
        return ch < roundHalfEven(h * scale) ? (cw - m_vScrollWidth) / w : scale;
    }
    }
    return 1;
}

void TcsScreenScaler::recalculate()
{
    m_destRect = m_imageRect;
    const double scale = fitScale();
    m_scale = std::isfinite(scale) ? scale : 1.0;
    m_destRect.right = roundHalfEven(m_imageRect.width() * m_scale) - kShadowWidth;
    m_destRect.bottom = roundHalfEven(m_imageRect.height() * m_scale) - kShadowHeight;
    if (m_center)
        centerImage();
    if (m_onScale)
        m_onScale(*this, m_imageRect, m_destRect);
}

void TcsScreenScaler::centerImage()
{
    const int dw = m_destRect.right;
    const int dh = m_destRect.bottom;
    const int cw = m_clientRect.right;
    const int ch = m_clientRect.bottom;
    // A scroll bar will show along the other axis: centre in what it leaves.
    const int left = cw > dw ? (cw - dw - (dh > ch ? m_vScrollWidth : 0)) / 2 : 0;
    const int top = ch > dh ? (ch - dh - (dw >= cw ? m_hScrollHeight : 0)) / 2 : 0;
    m_destRect = {left, top, dw + left, dh + top};
}

} // namespace lystra
