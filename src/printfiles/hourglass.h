#pragma once

#include "platform/screencursor.h"

namespace lystra {

// Shows the hourglass for its lifetime and puts back the cursor that showed
// before, on every exit path.
class HourglassCursor {
public:
    HourglassCursor();
    ~HourglassCursor();

    HourglassCursor(const HourglassCursor&) = delete;
    HourglassCursor& operator=(const HourglassCursor&) = delete;

private:
    ScreenCursor::Shape m_previous;
};

} // namespace lystra
