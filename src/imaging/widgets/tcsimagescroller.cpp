#include "imaging/widgets/tcsimagescroller.h"

#include "imaging/tcsbitmap.h"
#include "imaging/widgets/tcsimagecontainer.h"
#include "imaging/widgets/tcsimagecontrol.h"
#include "imaging/widgets/tcsimageviewer.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace lystra {

QCursor scrollHandCursor()
{
    return QCursor(Qt::OpenHandCursor);
}

TcsImageScroller::TcsImageScroller(TcsImageViewer* viewer, const TDisplayMetrics& metrics)
    : QScrollArea(viewer), m_viewer(viewer), m_scaler(metrics), m_canvas(new QWidget),
      m_control(new TcsImageControl(m_canvas))
{
    setObjectName(QStringLiteral("ImageScroller"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    m_canvas->setObjectName(QStringLiteral("ImageCanvas"));
    m_canvas->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_canvas->setAutoFillBackground(true);
    m_canvas->resize(0, 0);
    setWidget(m_canvas);
    viewport()->setAutoFillBackground(true);
    viewport()->setMouseTracking(true);
    resize(100, 100);
    updateColor();
    m_scaler.setOnScale(
        [this](TcsScreenScaler&, const TRect& source, const TRect& dest) { render(source, dest); });
}

TcsImageScroller::~TcsImageScroller() = default;

QColor TcsImageScroller::color() const
{
    return m_color ? *m_color : m_viewer->palette().color(QPalette::Window);
}

void TcsImageScroller::setColor(const QColor& color)
{
    m_color = color;
    updateColor();
}

void TcsImageScroller::updateColor()
{
    const QColor c = color();
    for (QWidget* w : {static_cast<QWidget*>(viewport()), m_canvas}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, c);
        w->setPalette(p);
    }
    m_control->setColor(c);
}

void TcsImageScroller::render(const TRect& source, const TRect& dest)
{
    if (m_renderBusy)
        return;
    m_control->setImageRect({});
    m_canvas->resize(0, 0);
    if (!m_container || source.width() == 0 || source.height() == 0)
        return;

    struct BusyGuard {
        bool& flag;
        explicit BusyGuard(bool& f) : flag(f) { flag = true; }
        ~BusyGuard() { flag = false; }
    } guard(m_renderBusy);

    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    m_control->setImageRect(dest);
    m_canvas->resize(std::max(dest.right, 0), std::max(dest.bottom, 0));
    TcsBitmap& bitmap = m_container->bitmap();
    m_control->setImagePalette(bitmap.getPalette());

    QImage& display = m_control->displayImage();
    if (!display.isNull()) {
        if (TcsAbstractImageTransformer* transformer = m_container->transformer()) {
            renderResampled(*transformer, dest);
        } else if (!bitmap.isEmpty()) {
            // Stretched by the painter without smoothing: every destination
            // pixel takes one source pixel.
            QPainter painter(&display);
            painter.drawImage(QRect(0, 0, dest.width(), dest.height()), bitmap.toImage());
        }
    }

    const bool larger = width() < m_control->width() || height() < m_control->height();
    setCursor(larger ? scrollHandCursor() : m_viewer->cursor());
}

void TcsImageScroller::renderResampled(TcsAbstractImageTransformer& transformer,
                                       const TRect& dest)
{
    TcsAbstractImageContainer* container = transformer.container();
    if (!container || container->bitmap().isEmpty())
        return;
    const TcsBitmap& source = container->bitmap();
    TcsBitmap scaled(dest.width(), dest.height(), pf24bit);
    const TPixelFormat format = source.pixelFormat();
    if (format == pfDevice || format == pf1bit || format == pf4bit || format == pf8bit) {
        TcsBitmap copy(source.width(), source.height(), pf24bit);
        copy.drawFrom(source);
        copy.resample(scaled);
    } else {
        source.resample(scaled);
    }
    QPainter painter(&m_control->displayImage());
    painter.drawImage(0, 0, scaled.toImage());
}

void TcsImageScroller::mousePressEvent(QMouseEvent* event)
{
    QScrollArea::mousePressEvent(event);
    emit m_viewer->mouseDown(this, event->button(), event->modifiers(), event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        m_dragStart = event->position().toPoint();
        m_dragHorizontal = horizontalScrollBar()->value();
        m_dragVertical = verticalScrollBar()->value();
        m_dragging = true;
    }
    event->accept();
}

void TcsImageScroller::mouseMoveEvent(QMouseEvent* event)
{
    QScrollArea::mouseMoveEvent(event);
    const QPoint at = event->position().toPoint();
    emit m_viewer->mouseMove(this, event->buttons(), event->modifiers(), at);
    if (m_dragging) {
        // The picture follows the hand: scroll opposite to the mouse.
        horizontalScrollBar()->setValue(m_dragHorizontal + m_dragStart.x() - at.x());
        verticalScrollBar()->setValue(m_dragVertical + m_dragStart.y() - at.y());
    }
    event->accept();
}

void TcsImageScroller::mouseReleaseEvent(QMouseEvent* event)
{
    QScrollArea::mouseReleaseEvent(event);
    emit m_viewer->mouseUp(this, event->button(), event->modifiers(), event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    event->accept();
}

} // namespace lystra
