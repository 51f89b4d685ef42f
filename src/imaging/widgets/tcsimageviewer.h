#pragma once

#include "imaging/widgets/tcsscreenscaler.h"

#include <QColor>
#include <QFrame>
#include <QPointer>

namespace lystra {

class TcsAbstractImageContainer;
class TcsBitmap;
class TcsImageScroller;

// The panel a container's image is shown in. Setting the container detaches
// from the old one, attaches to the new one and runs containerChanged(); the
// picture is drawn at the next image or size change. When the container is
// destroyed the viewer drops it (and runs containerChanged()).
class TcsAbstractImageViewer : public QFrame {
    Q_OBJECT

public:
    explicit TcsAbstractImageViewer(QWidget* parent = nullptr);
    ~TcsAbstractImageViewer() override;

    TcsAbstractImageContainer* container() const { return m_container; }
    void setContainer(TcsAbstractImageContainer* container);

    // Called by the container when its bitmap changed.
    virtual void imageChanged(TcsBitmap* bitmap) = 0;
    // A point of the viewer in image pixels; the base returns it unchanged.
    virtual QPoint clientToImage(const QPoint& point) const { return point; }

signals:
    void changed();
    // Mouse input of the viewer and its scroller; sender is the widget that
    // got it, the position in that widget's coordinates.
    void mouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                   const QPoint& position);
    void mouseMove(QObject* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                   const QPoint& position);
    void mouseUp(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                 const QPoint& position);

protected:
    virtual void containerChanged() {}
    void doChange() { emit changed(); }

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointer<TcsAbstractImageContainer> m_container;
};

enum TBorderStyle : int { bsNone = 0, bsSingle = 1 };

// The image viewer: a scroller filling the panel shows the container's
// image laid out by fit mode, optionally centred, with a frame and a drop
// shadow. Its own enabled switch (viewerEnabled, separate from the widget's
// enabled state) suspends work: while off, image changes and size changes
// are dropped, not queued; refit() catches up with the size.
class TcsImageViewer : public TcsAbstractImageViewer {
    Q_OBJECT

public:
    explicit TcsImageViewer(QWidget* parent = nullptr);
    TcsImageViewer(QWidget* parent, const TDisplayMetrics& metrics);
    ~TcsImageViewer() override;

    bool center() const;
    void setCenter(bool center);
    TFitMode fitMode() const;
    void setFitMode(TFitMode mode);
    int crtHeight() const;
    void setCrtHeight(int millimetres);
    bool isViewerEnabled() const { return m_enabled; }
    void setViewerEnabled(bool enabled) { m_enabled = enabled; }
    TBorderStyle innerBorder() const;
    void setInnerBorder(TBorderStyle style);
    QColor innerColor() const;
    void setInnerColor(const QColor& color);

    // Lays out again for the scroller's current size.
    void refit();
    TcsImageScroller* scroller() const { return m_scroller; }

    void imageChanged(TcsBitmap* bitmap) override;
    // Round((point - destination origin) / scale), in the scroller's
    // unscrolled coordinates.
    QPoint clientToImage(const QPoint& point) const override;

protected:
    void containerChanged() override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    TcsImageScroller* m_scroller;
    bool m_enabled = true;
};

} // namespace lystra
