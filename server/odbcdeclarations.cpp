#include "server/odbcdeclarations.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlResult>

#include <sql.h>
#include <sqlext.h>

namespace lystra {

namespace {

// The ODBC handle Qt's QODBC driver hands out as a QVariant of void*.
void* odbcHandle(const QVariant& handle)
{
    if (!handle.isValid() || qstrcmp(handle.typeName(), "void*") != 0)
        return nullptr;
    return *static_cast<void* const*>(handle.constData());
}

QString textAttribute(SQLHSTMT statement, int column, SQLUSMALLINT attribute)
{
    SQLCHAR buffer[512] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN result =
        ::SQLColAttribute(statement, SQLUSMALLINT(column + 1), attribute, buffer, SQLSMALLINT(sizeof buffer - 1),
                          &length, nullptr);
    if (!SQL_SUCCEEDED(result) || length <= 0)
        return {};
    // Up to the reported length and never past a NUL: drivers differ on
    // whether the length counts bytes or characters.
    const qsizetype size = qMin<qsizetype>(length, qsizetype(sizeof buffer - 1));
    return QString::fromUtf8(reinterpret_cast<const char*>(buffer), qstrnlen(reinterpret_cast<const char*>(buffer), size));
}

// Column name (upper case) to TYPE_NAME from the driver's catalogue.
QHash<QString, QString> catalogueTypes(SQLHDBC connection, const QString& table)
{
    QHash<QString, QString> types;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(::SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement)))
        return types;
    QByteArray name = table.toUtf8();
    if (SQL_SUCCEEDED(::SQLColumns(statement, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(name.data()),
                                   SQLSMALLINT(name.size()), nullptr, 0))) {
        while (SQL_SUCCEEDED(::SQLFetch(statement))) {
            char column[256] = {};
            char type[256] = {};
            SQLLEN indicator = 0;
            if (!SQL_SUCCEEDED(::SQLGetData(statement, 4, SQL_C_CHAR, column, sizeof column, &indicator)) ||
                indicator <= 0)
                continue;
            if (!SQL_SUCCEEDED(::SQLGetData(statement, 6, SQL_C_CHAR, type, sizeof type, &indicator)) ||
                indicator <= 0)
                continue;
            types.insert(QString::fromUtf8(column).toUpper(), QString::fromUtf8(type));
        }
    }
    ::SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return types;
}

} // namespace

void* odbcStatement(const QSqlQuery& query)
{
    return query.result() ? odbcHandle(query.result()->handle()) : nullptr;
}

std::optional<QVariant> readOdbcInteger(void* statement, int column)
{
    SQLBIGINT value = 0;
    SQLLEN indicator = 0;
    const SQLRETURN result =
        ::SQLGetData(statement, SQLUSMALLINT(column + 1), SQL_C_SBIGINT, &value, sizeof value, &indicator);
    if (!SQL_SUCCEEDED(result))
        return std::nullopt;
    if (indicator == SQL_NULL_DATA)
        return QVariant(QMetaType::fromType<qlonglong>());
    return QVariant(qlonglong(value));
}

QList<OdbcIndex> odbcIndexes(const QVariant& connection, const QString& table)
{
    QList<OdbcIndex> indexes;
    void* const dbc = odbcHandle(connection);
    if (!dbc || table.isEmpty())
        return indexes;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(::SQLAllocHandle(SQL_HANDLE_STMT, dbc, &statement)))
        return indexes;
    QByteArray name = table.toUtf8();
    if (SQL_SUCCEEDED(::SQLStatistics(statement, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(name.data()),
                                      SQLSMALLINT(name.size()), SQL_INDEX_ALL, SQL_QUICK))) {
        while (SQL_SUCCEEDED(::SQLFetch(statement))) {
            char index[256] = {};
            char column[256] = {};
            SQLSMALLINT type = 0;
            SQLLEN indicator = 0;
            // Rows of type SQL_TABLE_STAT describe the table, not an index.
            if (!SQL_SUCCEEDED(::SQLGetData(statement, 7, SQL_C_SSHORT, &type, 0, &indicator)) ||
                indicator == SQL_NULL_DATA || type == SQL_TABLE_STAT)
                continue;
            if (!SQL_SUCCEEDED(::SQLGetData(statement, 6, SQL_C_CHAR, index, sizeof index, &indicator)) ||
                indicator <= 0)
                continue;
            if (!SQL_SUCCEEDED(::SQLGetData(statement, 9, SQL_C_CHAR, column, sizeof column, &indicator)) ||
                indicator <= 0)
                continue;
            const QString indexName = QString::fromUtf8(index);
            if (indexes.isEmpty() || indexes.last().name != indexName)
                indexes.append(OdbcIndex{indexName, {}});
            indexes.last().columns.append(QString::fromUtf8(column));
        }
    }
    ::SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return indexes;
}

OdbcDeclarations::OdbcDeclarations(const QSqlQuery& query)
{
    if (query.result())
        m_statement = odbcHandle(query.result()->handle());
    if (query.driver())
        m_connection = odbcHandle(query.driver()->handle());
}

QString OdbcDeclarations::baseTable(int column) const
{
    if (!m_statement || column < 0)
        return {};
    return textAttribute(m_statement, column, SQL_DESC_BASE_TABLE_NAME);
}

QString OdbcDeclarations::declaredType(int column)
{
    if (!m_statement || !m_connection || column < 0)
        return {};
    const QString table = textAttribute(m_statement, column, SQL_DESC_BASE_TABLE_NAME);
    const QString name = textAttribute(m_statement, column, SQL_DESC_BASE_COLUMN_NAME);
    if (table.isEmpty() || name.isEmpty())
        return {};
    auto found = m_tables.find(table);
    if (found == m_tables.end())
        found = m_tables.insert(table, catalogueTypes(m_connection, table));
    return found->value(name.toUpper());
}

} // namespace lystra
