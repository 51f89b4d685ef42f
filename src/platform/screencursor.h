#pragma once

#include <QList>

namespace lystra {

// The screen cursor as the engine sees it: which shape is showing, a way to
// change it, and whether the calling thread is the user-interface thread.
// The engine never touches a windowing system itself; a GUI program installs
// an implementation at start (see platform/gui/guiscreencursor.h). Without
// one, a recording implementation stands in: it changes nothing on screen
// and remembers what was asked of it, which is what tests look at.
class ScreenCursor {
public:
    enum Shape {
        Default, // no override: the platform's own cursor
        Wait,    // the hourglass of long work
        SqlWait, // the hourglass of server work
        Other,   // any other override someone else set
    };

    virtual ~ScreenCursor();

    virtual Shape current() const = 0;
    virtual void set(Shape shape) = 0;
    virtual bool isMainThread() const = 0;

    // The process-wide instance; the recording one until install() is called.
    static ScreenCursor& instance();
    // Takes no ownership; the instance must outlive every later use. Passing
    // nullptr restores the recording instance.
    static void install(ScreenCursor* cursor);
};

// Remembers the current shape and every change asked for. The main thread is
// the thread of the Qt application object (any thread when there is none).
class RecordingScreenCursor : public ScreenCursor {
public:
    Shape current() const override { return m_current; }
    void set(Shape shape) override;
    bool isMainThread() const override;

    // Every shape passed to set(), oldest first.
    const QList<Shape>& history() const { return m_history; }
    void clearHistory() { m_history.clear(); }

private:
    Shape m_current = Default;
    QList<Shape> m_history;
};

// Shows the SQL-wait cursor for its lifetime when `enabled`, the calling
// thread is the main thread and the screen shows the default cursor; on
// destruction it restores the default cursor only if the SQL-wait cursor is
// still showing, so a cursor someone set meanwhile is left alone.
class SqlWaitCursorGuard {
public:
    explicit SqlWaitCursorGuard(bool enabled = true);
    ~SqlWaitCursorGuard();

    SqlWaitCursorGuard(const SqlWaitCursorGuard&) = delete;
    SqlWaitCursorGuard& operator=(const SqlWaitCursorGuard&) = delete;

private:
    bool m_shown = false;
};

} // namespace lystra
