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

// The client writes byte values as "0x" followed by two hexadecimal digits a
// byte. SQLite reads that as an integer (and refuses more than 8 bytes), so
// for the embedded backend each such literal outside quotes and comments,
// with an even number of digits, becomes the blob literal X'...'.
QString hexLiteralsAsBlobs(const QString& statement);

} // namespace lystra
