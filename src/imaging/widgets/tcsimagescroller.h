#pragma once

#include "imaging/widgets/tcsscreenscaler.h"

#include <QColor>
#include <QPointer>
#include <QScrollArea>

#include <optional>

namespace lystra {

class TcsAbstractImageContainer;
class TcsAbstractImageTransformer;
class TcsImageControl;
class TcsImageViewer;

// Cursor number of the scroll hand, shown while the picture is larger than
// the scroller.
inline constexpr int crScrollHand = 2000;
QCursor scrollHandCursor();

// The scroll box inside the viewer. It owns the layout calculator and the
// image control, renders the picture on every layout (onScale), and scrolls
// by dragging with the left button. Its mouse input is passed on to the
// viewer's mouse signals with the scroller as sender.
class TcsImageScroller : public QScrollArea {
    Q_OBJECT

public:
    TcsImageScroller(TcsImageViewer* viewer, const TDisplayMetrics& metrics);
    ~TcsImageScroller() override;

    TcsScreenScaler& scaler() { return m_scaler; }
    TcsImageControl* imageControl() const { return m_control; }
    TcsAbstractImageContainer* container() const { return m_container; }
    void setContainer(TcsAbstractImageContainer* container) { m_container = container; }

    // The colour behind the picture: the viewer's until set.
    QColor color() const;
    void setColor(const QColor& color);
    void updateColor();

    // The handler of the scaler's OnScale.
    void render(const TRect& source, const TRect& dest);
    bool isDragging() const { return m_dragging; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void renderResampled(TcsAbstractImageTransformer& transformer, const TRect& dest);

    TcsImageViewer* m_viewer;
    TcsScreenScaler m_scaler;
    QWidget* m_canvas;
    TcsImageControl* m_control;
    QPointer<TcsAbstractImageContainer> m_container;
    std::optional<QColor> m_color;
    bool m_renderBusy = false;
    bool m_dragging = false;
    QPoint m_dragStart;
    int m_dragHorizontal = 0;
    int m_dragVertical = 0;
};

} // namespace lystra
