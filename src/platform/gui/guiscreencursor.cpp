#include "platform/gui/guiscreencursor.h"

#include <QCursor>
#include <QGuiApplication>
#include <QThread>

namespace lystra {

ScreenCursor::Shape GuiScreenCursor::current() const
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    if (cursor == nullptr)
        return Default;
    switch (cursor->shape()) {
    case Qt::WaitCursor:
        return Wait;
    case Qt::BusyCursor:
        return SqlWait;
    default:
        return Other;
    }
}

void GuiScreenCursor::set(Shape shape)
{
    if (shape == Default) {
        // The override cursor is a stack; the default shape means none at all.
        while (QGuiApplication::overrideCursor() != nullptr)
            QGuiApplication::restoreOverrideCursor();
        return;
    }
    const QCursor cursor(shape == Wait ? Qt::WaitCursor : shape == SqlWait ? Qt::BusyCursor : Qt::ArrowCursor);
    if (QGuiApplication::overrideCursor() != nullptr)
        QGuiApplication::changeOverrideCursor(cursor);
    else
        QGuiApplication::setOverrideCursor(cursor);
}

bool GuiScreenCursor::isMainThread() const
{
    return QThread::currentThread() == QGuiApplication::instance()->thread();
}

} // namespace lystra
