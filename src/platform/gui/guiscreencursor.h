#pragma once

#include "platform/screencursor.h"

namespace lystra {

// The screen cursor of a Qt GUI program: the application's override cursor.
// No override is the default shape; the wait shapes are Qt's wait and busy
// cursors. A GUI program creates one at start and installs it with
// ScreenCursor::install(); the application object must exist.
class GuiScreenCursor : public ScreenCursor {
public:
    Shape current() const override;
    void set(Shape shape) override;
    bool isMainThread() const override;
};

} // namespace lystra
