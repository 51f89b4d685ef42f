#pragma once

#include "server/fielddefs.h"

#include <QByteArray>
#include <QList>

#include <memory>
#include <vector>

class QSqlQuery;

namespace lystra {

class ValueFormatter;

// The rows of one result set, read completely when the statement runs and
// kept as row text. Reading everything at once gives exact sizes for string
// columns whose declaration has no length (SQLite reports none), and ends the
// backend's read of the table at once, so a client that never fetches the
// last block holds no lock on it.
class ResultSet {
public:
    // Reads every row of `query`, which has run and returned a result set.
    // Throws lystra::Exception when the backend fails while rows are read, or
    // when the row text would exceed `maxBytes` (the client is told to narrow
    // the query rather than the server running out of memory).
    static std::unique_ptr<ResultSet> read(QSqlQuery& query, const ValueFormatter& formatter,
                                           qsizetype maxBytes);

    const QList<ColumnInfo>& columns() const { return m_columns; }
    qsizetype rowCount() const { return qsizetype(m_rowEnds.size()); }
    bool atEnd() const { return m_next >= m_rowEnds.size(); }

    // The next rows, at most `maxRows`, as one block (each row's text and its
    // NUL byte); empty at the end.
    QByteArray nextBlock(int maxRows);

    // The field-definition document as lines (see fieldDefsLines).
    const QList<QByteArray>& documentLines() const { return m_document; }

private:
    QList<ColumnInfo> m_columns;
    QList<QByteArray> m_document;
    QByteArray m_rows;
    std::vector<qsizetype> m_rowEnds; // offset after each row's NUL
    size_t m_next = 0;
};

} // namespace lystra
