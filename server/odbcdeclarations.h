#pragma once

#include <QHash>
#include <QString>

#include <QList>
#include <QStringList>
#include <QVariant>

#include <optional>

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
    // The base table of result column `column` as the driver names it;
    // empty when it names none (an expression) or this is no ODBC result.
    QString baseTable(int column) const;

private:
    void* m_statement = nullptr;  // SQLHSTMT of the result
    void* m_connection = nullptr; // SQLHDBC of the database
    QHash<QString, QHash<QString, QString>> m_tables; // table -> upper column name -> type name
};

// The statement handle of a result of Qt's ODBC driver, or nullptr.
void* odbcStatement(const QSqlQuery& query);

// Reads column `column` (0-based) of the current row as a 64-bit integer
// straight from the driver. Qt fetches integer columns as 32-bit numbers,
// which silently wraps larger values some sources keep in them. Must be
// called before Qt reads this column or any later one of the row; Qt then
// finds the column already read and leaves it. nullopt when the driver
// cannot give the value as an integer; a NULL gives a null QVariant.
std::optional<QVariant> readOdbcInteger(void* statement, int column);

// The indexes of `table` as the driver's catalogue lists them: each index
// name with its columns in key order, in the catalogue's order. `connection`
// is the SQLHDBC of Qt's ODBC driver (QSqlDriver::handle()). Empty when the
// driver lists none or the table is unknown.
struct OdbcIndex {
    QString name;
    QStringList columns;
};
QList<OdbcIndex> odbcIndexes(const QVariant& connection, const QString& table);

} // namespace lystra
