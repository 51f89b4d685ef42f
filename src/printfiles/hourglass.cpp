#include "printfiles/hourglass.h"

namespace lystra {

HourglassCursor::HourglassCursor() : m_previous(ScreenCursor::instance().current())
{
    ScreenCursor::instance().set(ScreenCursor::Wait);
}

HourglassCursor::~HourglassCursor()
{
    ScreenCursor::instance().set(m_previous);
}

} // namespace lystra
