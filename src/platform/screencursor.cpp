#include "platform/screencursor.h"

#include <QCoreApplication>
#include <QThread>

namespace lystra {

namespace {

ScreenCursor*& installed()
{
    static ScreenCursor* cursor = nullptr;
    return cursor;
}

} // namespace

ScreenCursor::~ScreenCursor() = default;

ScreenCursor& ScreenCursor::instance()
{
    static RecordingScreenCursor recording;
    if (ScreenCursor* cursor = installed())
        return *cursor;
    return recording;
}

void ScreenCursor::install(ScreenCursor* cursor)
{
    installed() = cursor;
}

void RecordingScreenCursor::set(Shape shape)
{
    m_current = shape;
    m_history.append(shape);
}

bool RecordingScreenCursor::isMainThread() const
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

SqlWaitCursorGuard::SqlWaitCursorGuard(bool enabled)
{
    if (!enabled)
        return;
    ScreenCursor& cursor = ScreenCursor::instance();
    if (!cursor.isMainThread() || cursor.current() != ScreenCursor::Default)
        return;
    cursor.set(ScreenCursor::SqlWait);
    m_shown = true;
}

SqlWaitCursorGuard::~SqlWaitCursorGuard()
{
    if (!m_shown)
        return;
    ScreenCursor& cursor = ScreenCursor::instance();
    if (cursor.current() == ScreenCursor::SqlWait)
        cursor.set(ScreenCursor::Default);
}

} // namespace lystra
