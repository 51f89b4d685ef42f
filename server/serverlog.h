#pragma once

#include <QString>

namespace lystra {

// One line of the server's log on stderr, with a time stamp. Safe to call
// from every connection thread; lines never interleave.
void logLine(const QString& text);

// Switches logging off (fuzzing, in-process benchmarks) or on again.
void setLogEnabled(bool enabled);

} // namespace lystra
