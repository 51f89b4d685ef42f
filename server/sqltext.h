#pragma once

#include <QString>
#include <QStringView>

namespace lystra {

// Host SQL made runnable on a backend that is not the host's own database.
// The host client ends statements that must run without commitment control
// with " with NC"; other databases know no such clause, so it is removed
// when it ends the statement (any case, blanks and one ";" after it allowed).
// Everything else is left as written: quoted identifiers such as "USER",
// UPPER() and numeric comparisons are standard SQL.
QString withoutIsolationClause(const QString& statement);

// The number of "?" parameter markers, not counting those inside quoted
// literals ('...'), quoted identifiers ("..."), or comments (-- and /* */).
int countParameterMarkers(QStringView statement);

} // namespace lystra
