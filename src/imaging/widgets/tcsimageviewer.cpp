#include "imaging/widgets/tcsimageviewer.h"

#include "imaging/tcsbitmap.h"
#include "imaging/widgets/tcsimagecontainer.h"
#include "imaging/widgets/tcsimagescroller.h"
#include "platform/rounding.h"

#include <QEvent>
#include <QMouseEvent>

namespace lystra {

TcsAbstractImageViewer::TcsAbstractImageViewer(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
}

TcsAbstractImageViewer::~TcsAbstractImageViewer()
{
    if (m_container)
        m_container->removeViewer(this);
}

void TcsAbstractImageViewer::setContainer(TcsAbstractImageContainer* container)
{
    if (container == m_container)
        return;
    if (m_container) {
        m_container->removeViewer(this);
        disconnect(m_container, &QObject::destroyed, this, nullptr);
    }
    m_container = container;
    if (m_container) {
        m_container->addViewer(this);
        connect(m_container, &QObject::destroyed, this, [this] {
            m_container = nullptr;
            containerChanged();
        });
    }
    containerChanged();
}

void TcsAbstractImageViewer::mousePressEvent(QMouseEvent* event)
{
    emit mouseDown(this, event->button(), event->modifiers(), event->position().toPoint());
}

void TcsAbstractImageViewer::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMove(this, event->buttons(), event->modifiers(), event->position().toPoint());
}

void TcsAbstractImageViewer::mouseReleaseEvent(QMouseEvent* event)
{
    emit mouseUp(this, event->button(), event->modifiers(), event->position().toPoint());
}

TcsImageViewer::TcsImageViewer(QWidget* parent) : TcsImageViewer(parent, TDisplayMetrics::current())
{
}

TcsImageViewer::TcsImageViewer(QWidget* parent, const TDisplayMetrics& metrics)
    : TcsAbstractImageViewer(parent), m_scroller(new TcsImageScroller(this, metrics))
{
    setObjectName(QStringLiteral("ImageViewer"));
    m_scroller->setGeometry(contentsRect());
}

TcsImageViewer::~TcsImageViewer()
{
    // The scroller renders from the container; stop before either goes.
    m_scroller->setContainer(nullptr);
}

bool TcsImageViewer::center() const
{
    return m_scroller->scaler().center();
}

void TcsImageViewer::setCenter(bool center)
{
    m_scroller->scaler().setCenter(center);
}

TFitMode TcsImageViewer::fitMode() const
{
    return m_scroller->scaler().fitMode();
}

void TcsImageViewer::setFitMode(TFitMode mode)
{
    m_scroller->scaler().setFitMode(mode);
}

int TcsImageViewer::crtHeight() const
{
    return m_scroller->scaler().crtHeight();
}

void TcsImageViewer::setCrtHeight(int millimetres)
{
    m_scroller->scaler().setCrtHeight(millimetres);
}

TBorderStyle TcsImageViewer::innerBorder() const
{
    return m_scroller->frameShape() == QFrame::NoFrame ? bsNone : bsSingle;
}

void TcsImageViewer::setInnerBorder(TBorderStyle style)
{
    m_scroller->setFrameShape(style == bsNone ? QFrame::NoFrame : QFrame::Box);
}

QColor TcsImageViewer::innerColor() const
{
    return m_scroller->color();
}

void TcsImageViewer::setInnerColor(const QColor& color)
{
    if (color != m_scroller->color() || color != innerColor())
        m_scroller->setColor(color);
}

void TcsImageViewer::refit()
{
    m_scroller->scaler().setClientRect({0, 0, m_scroller->width(), m_scroller->height()});
}

void TcsImageViewer::imageChanged(TcsBitmap* bitmap)
{
    if (!m_enabled)
        return;
    const TBitmapInfo* info = bitmap ? bitmap->bitmapInfo() : nullptr;
    TcsScreenScaler& scaler = m_scroller->scaler();
    scaler.setImage(info ? &info->header : nullptr);
    scaler.recalculate();
    doChange();
}

QPoint TcsImageViewer::clientToImage(const QPoint& point) const
{
    const TcsScreenScaler& scaler = m_scroller->scaler();
    return {roundHalfEven((point.x() - scaler.destRect().left) / scaler.scale()),
            roundHalfEven((point.y() - scaler.destRect().top) / scaler.scale())};
}

void TcsImageViewer::containerChanged()
{
    m_scroller->setContainer(container());
}

void TcsImageViewer::resizeEvent(QResizeEvent* event)
{
    TcsAbstractImageViewer::resizeEvent(event);
    const QRect client = contentsRect();
    m_scroller->setGeometry(client);
    if (m_enabled)
        m_scroller->scaler().setClientRect({0, 0, client.width(), client.height()});
}

void TcsImageViewer::changeEvent(QEvent* event)
{
    TcsAbstractImageViewer::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_scroller->updateColor();
}

} // namespace lystra
