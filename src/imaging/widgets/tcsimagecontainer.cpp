#include "imaging/widgets/tcsimagecontainer.h"

#include "imaging/widgets/tcsimageviewer.h"

namespace lystra {

TcsAbstractImageContainer::TcsAbstractImageContainer(QObject* parent)
    : QObject(parent), m_bitmap(std::make_unique<TcsBitmap>())
{
    m_bitmap->setOnChange([this](TcsBitmap&) { bitmapChanged(); });
}

TcsAbstractImageContainer::~TcsAbstractImageContainer()
{
    // Viewers learn of the end through destroyed(); the bitmap must not call
    // back into a half-destroyed container meanwhile.
    m_bitmap->setOnChange({});
}

void TcsAbstractImageContainer::addViewer(TcsAbstractImageViewer* viewer)
{
    if (!viewer)
        return;
    m_viewers.append(viewer);
    connect(viewer, &QObject::destroyed, this,
            [this](QObject* gone) { m_viewers.removeIf([gone](const auto& v) { return v == gone; }); });
}

void TcsAbstractImageContainer::removeViewer(TcsAbstractImageViewer* viewer)
{
    if (!viewer)
        return;
    m_viewers.removeOne(viewer);
    disconnect(viewer, &QObject::destroyed, this, nullptr);
}

QList<TcsAbstractImageViewer*> TcsAbstractImageContainer::viewers() const
{
    QList<TcsAbstractImageViewer*> list;
    for (const auto& viewer : m_viewers)
        if (viewer)
            list.append(viewer);
    return list;
}

void TcsAbstractImageContainer::transformerNotification(TcsAbstractImageTransformer* transformer,
                                                        bool inserted)
{
    if (inserted)
        m_transformer = transformer;
    else if (m_transformer == transformer)
        m_transformer = nullptr;
}

void TcsAbstractImageContainer::bitmapChanged()
{
    if (!m_enabled)
        return;
    for (TcsAbstractImageViewer* viewer : viewers())
        viewer->imageChanged(m_bitmap.get());
    doChange();
}

void TcsAbstractImageContainer::doChange()
{
    emit changed();
}

TcsAbstractImageTransformer::TcsAbstractImageTransformer(QObject* parent) : QObject(parent) {}

TcsAbstractImageTransformer::~TcsAbstractImageTransformer()
{
    if (m_container)
        m_container->transformerNotification(this, false);
}

void TcsAbstractImageTransformer::setContainer(TcsAbstractImageContainer* container)
{
    if (container == m_container)
        return;
    if (m_container)
        m_container->transformerNotification(this, false);
    if (container)
        container->transformerNotification(this, true);
    m_container = container;
}

} // namespace lystra
