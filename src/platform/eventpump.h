#pragma once

namespace lystra {

// Lets pending events of the user-interface thread run, so that windows repaint
// and the progress dialog follows while a long operation works in steps. Does
// nothing when the process has no Qt application object.
void processPendingEvents();

} // namespace lystra
