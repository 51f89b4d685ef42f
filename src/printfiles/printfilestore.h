#pragma once

#include <QByteArray>

#include <functional>

namespace lystra {

// One row of a result set as the print file model reads it: every value by
// column name, as host text.
class TRowValues {
public:
    virtual ~TRowValues() = default;
    // The value of column `name` (upper case, e.g. "FID"); an SQL NULL reads as
    // empty text. Raises lystra::Exception when the row has no such column.
    virtual QByteArray Value(const char* name) const = 0;
};

// What the print files of a queue need from the queue that listed them: the
// names of its two tables and its one query. TPrintFiles implements it over
// TcsQuery; tests implement it over rows in memory.
class TPrintFileStore {
public:
    virtual ~TPrintFileStore() = default;

    // The print file table ("CATALOG", or the archive catalog).
    virtual QByteArray CatalogTable() const = 0;
    // The page-row table (the user profile, or the archive spool table).
    virtual QByteArray SpoolTable() const = 0;
    // Whether rows are keyed by FID and FDATE together (archive mode).
    virtual bool IsArchive() const = 0;

    // Runs a SELECT and calls `row` once per result row, in order. The query is
    // closed afterwards, also when the statement or `row` raises; errors
    // propagate.
    virtual void Select(const QByteArray& sql,
                        const std::function<void(const TRowValues&)>& row) = 0;
    // Runs a statement without result set; errors propagate.
    virtual void Execute(const QByteArray& sql) = 0;
};

} // namespace lystra
