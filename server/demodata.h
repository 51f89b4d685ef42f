#pragma once

#include <QString>

namespace lystra {

// Creates the demo database LYSTRA (file LYSTRA.sqlite in `dataDir`, made if
// missing): the print file table "CATALOG" and one page-row table per user,
// filled with the print files of demoPrintFiles(). Text is stored as UTF-8;
// the server converts it to the wire code page. Refuses to overwrite an
// existing LYSTRA database. Throws lystra::Exception.
void createDemoDatabase(const QString& dataDir);

} // namespace lystra
