#pragma once

#include <QByteArray>
#include <QImage>

namespace lystra::testing {

// An A4 report page as the preview renders it: 24-bit, white, lines of a
// Swedish report in a monospaced font, 12 pixels per millimetre.
QImage renderReportPage(int width = 2520, int height = 3564);

// Spool text: the same report as 8-bit lines, pages separated by form feeds.
QByteArray reportSpoolText(int pages);

// Reproducible pseudo-random bytes.
QByteArray randomBytes(int count, unsigned seed = 1);

} // namespace lystra::testing
