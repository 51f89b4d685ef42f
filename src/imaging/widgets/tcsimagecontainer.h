#pragma once

#include "imaging/tcsbitmap.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

namespace lystra {

class TcsAbstractImageViewer;
class TcsAbstractImageTransformer;

// Holds the image (one TcsBitmap, owned) and tells every attached viewer,
// in the order they attached, when the bitmap signals a change; then emits
// changed(). While disabled nothing is passed on, and nothing missed is
// replayed when it is enabled again. Viewers and the transformer are
// borrowed; each side forgets the other when it is destroyed.
class TcsAbstractImageContainer : public QObject {
    Q_OBJECT

public:
    explicit TcsAbstractImageContainer(QObject* parent = nullptr);
    ~TcsAbstractImageContainer() override;

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    TcsBitmap& bitmap() { return *m_bitmap; }
    const TcsBitmap& bitmap() const { return *m_bitmap; }
    // The linked transformer, none when viewers stretch the image themselves.
    TcsAbstractImageTransformer* transformer() const { return m_transformer; }

    // None is ignored.
    void addViewer(TcsAbstractImageViewer* viewer);
    void removeViewer(TcsAbstractImageViewer* viewer);
    QList<TcsAbstractImageViewer*> viewers() const;

    // A transformer links itself (inserted) or leaves (removed).
    void transformerNotification(TcsAbstractImageTransformer* transformer, bool inserted);

signals:
    void changed();

protected:
    virtual void doChange();

private:
    void bitmapChanged();

    bool m_enabled = true;
    QList<QPointer<TcsAbstractImageViewer>> m_viewers;
    std::unique_ptr<TcsBitmap> m_bitmap;
    QPointer<TcsAbstractImageTransformer> m_transformer;
};

// The published container: adds the bitmap's compression setting.
class TcsImageContainer : public TcsAbstractImageContainer {
    Q_OBJECT

public:
    using TcsAbstractImageContainer::TcsAbstractImageContainer;

    TCompressionLevel compression() const { return bitmap().compression(); }
    void setCompression(TCompressionLevel level) { bitmap().setCompression(level); }
};

// Linking a transformer to a container switches that container's viewers
// from stretching the image to software resampling.
class TcsAbstractImageTransformer : public QObject {
    Q_OBJECT

public:
    explicit TcsAbstractImageTransformer(QObject* parent = nullptr);
    ~TcsAbstractImageTransformer() override;

    TcsAbstractImageContainer* container() const { return m_container; }
    void setContainer(TcsAbstractImageContainer* container);

private:
    QPointer<TcsAbstractImageContainer> m_container;
};

class TcsImageTransformer : public TcsAbstractImageTransformer {
    Q_OBJECT

public:
    using TcsAbstractImageTransformer::TcsAbstractImageTransformer;
};

} // namespace lystra
