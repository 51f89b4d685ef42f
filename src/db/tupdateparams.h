#pragma once

#include "db/dbtypes.h"

#include <QString>
#include <QStringList>

namespace lystra {

// What a dataset needs to write its edits back without hand-written
// statements: the table, the fields that identify a row, the fields that are
// written, and which fields the where clause compares.
struct TUpdateParams {
    QStringList KeyFields;
    QStringList UpdateFields;
    QString TableName;
    TUpdateMode UpdateMode = upWhereChanged;

    bool operator==(const TUpdateParams&) const = default;
};

} // namespace lystra
