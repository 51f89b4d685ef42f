#pragma once

#include <QHash>
#include <QString>

class QSqlQuery;

namespace lystra {

// Declared column types of the tables behind an ODBC result set. Some
// drivers describe every decimal column of a result as floating point
// without its scale (SQLite's driver says "double" for NUMERIC(7,0)), while
// the catalogue of the base table still names the declaration
// ("NUMERIC(7,0)"). Looked up once per table for the life of the object.
class OdbcDeclarations {
public:
    explicit OdbcDeclarations(const QSqlQuery& query);

    // The declared type of result column `column` (0-based) as the base
    // table's catalogue names it; empty when the driver does not tell the
    // table or column, or the catalogue has no such column.
    QString declaredType(int column);

private:
    void* m_statement = nullptr;  // SQLHSTMT of the result
    void* m_connection = nullptr; // SQLHDBC of the database
    QHash<QString, QHash<QString, QString>> m_tables; // table -> upper column name -> type name
};

} // namespace lystra
