#include "server/resultset.h"

#include "server/columntypes.h"
#include "server/databaseconnection.h"
#include "server/odbcdeclarations.h"
#include "server/rowtext.h"
#include "server/valueformatter.h"

#include "platform/exception.h"

#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <optional>

namespace lystra {

namespace {

// How one column is read: its description plus, for a column without a
// declared type, the inference that settles its type from the values.
struct ColumnReader {
    ColumnInfo info;
    bool declared = true;
    int declaredLength = 0;
    ValueTypeInference inference;
    qsizetype longest = 0;
    // ODBC integer column: read as 64 bits from the driver, not through Qt.
    bool wideInteger = false;
};

sqlite3_stmt* sqliteStatement(const QSqlQuery& query)
{
    const QVariant handle = query.result() ? query.result()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return nullptr;
    return *static_cast<sqlite3_stmt* const*>(handle.constData());
}

QString utf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// SQLite knows each column's declared type, table and origin; QSQLITE passes
// on only a few of them, so ask the statement itself.
void describeSqliteColumn(sqlite3_stmt* statement, int i, ColumnReader& column)
{
    const auto type = columnTypeFromDeclaration(utf8(sqlite3_column_decltype(statement, i)));
    column.declared = type.has_value();
    if (type) {
        column.info.type = type->type;
        column.declaredLength = type->declaredLength;
    }
    const QString table = utf8(sqlite3_column_table_name(statement, i));
    const QString origin = utf8(sqlite3_column_origin_name(statement, i));
    column.info.readOnly = table.isEmpty();
    if (table.isEmpty())
        return;
    column.info.origin = table + u'.' + origin;
    int notNull = 0;
    int primaryKey = 0;
    int autoIncrement = 0;
    if (sqlite3_table_column_metadata(sqlite3_db_handle(statement), sqlite3_column_database_name(statement, i),
                                      sqlite3_column_table_name(statement, i),
                                      sqlite3_column_origin_name(statement, i), nullptr, nullptr, &notNull,
                                      &primaryKey, &autoIncrement) == SQLITE_OK)
        column.info.required = notNull != 0;
}

void describeField(const QSqlField& field, ColumnReader& column, const std::function<QString()>& declaration,
                   const std::function<QString()>& odbcTable)
{
    ColumnType type = columnTypeFromField(field);
    column.wideInteger = field.metaType().id() == QMetaType::Int;
    // A driver that reports a decimal column as floating point without its
    // scale: the base table's declaration tells whether it holds integers.
    if (type.type == WireType::Double && field.precision() <= 0) {
        const auto declared = columnTypeFromDeclaration(declaration());
        if (declared && (declared->type == WireType::Int16 || declared->type == WireType::Int32 ||
                         declared->type == WireType::Int64))
            type = *declared;
    }
    // A driver that hands a number it has no C type for (DECIMAL, MONEY,
    // BOOLEAN in SQLite's driver) over as text: the declaration says what
    // the column holds.
    // The same for a driver that hands a boolean over as an integer.
    const bool integer = type.type == WireType::Int16 || type.type == WireType::Int32 || type.type == WireType::Int64;
    if (integer) {
        const auto declared = columnTypeFromDeclaration(declaration());
        if (declared && declared->type == WireType::Boolean)
            type = *declared;
    }
    if (type.type == WireType::String) {
        const auto declared = columnTypeFromDeclaration(declaration());
        if (declared && (declared->type == WireType::Double || declared->type == WireType::Currency ||
                         declared->type == WireType::Boolean || declared->type == WireType::Int16 ||
                         declared->type == WireType::Int32 || declared->type == WireType::Int64))
            type = *declared;
    }
    column.info.type = type.type;
    column.declaredLength = type.declaredLength;
    column.info.required = field.requiredStatus() == QSqlField::Required;
    column.info.readOnly = field.isReadOnly();
    // The driver's own table name where it gives one: Qt's copy of it can
    // carry bytes past the name's end.
    QString table = odbcTable ? odbcTable() : QString();
    if (table.isEmpty()) {
        table = field.tableName();
        const qsizetype nul = table.indexOf(QChar(0));
        if (nul >= 0)
            table.truncate(nul);
    }
    if (!table.isEmpty())
        column.info.origin = table + u'.' + field.name();
}

std::vector<ColumnReader> describeColumns(const QSqlQuery& query)
{
    const QSqlRecord record = query.record();
    sqlite3_stmt* statement = sqliteStatement(query);
    std::vector<ColumnReader> columns(size_t(record.count()));
    std::optional<OdbcDeclarations> declarations;
    for (int i = 0; i < record.count(); ++i) {
        ColumnReader& column = columns[size_t(i)];
        column.info.name = record.fieldName(i);
        if (statement && i < sqlite3_column_count(statement))
            describeSqliteColumn(statement, i, column);
        else
            describeField(
                record.field(i), column,
                [&]() {
                    if (!declarations)
                        declarations.emplace(query);
                    return declarations->declaredType(i);
                },
                [&]() {
                    if (!declarations)
                        declarations.emplace(query);
                    return declarations->baseTable(i);
                });
    }
    return columns;
}

} // namespace

std::unique_ptr<ResultSet> ResultSet::read(QSqlQuery& query, const ValueFormatter& formatter,
                                           qsizetype maxBytes)
{
    auto result = std::make_unique<ResultSet>();
    std::vector<ColumnReader> columns = describeColumns(query);
    void* const odbc = odbcStatement(query);
    RowTextWriter writer(result->m_rows);
    while (query.next()) {
        for (size_t i = 0; i < columns.size(); ++i) {
            ColumnReader& column = columns[i];
            std::optional<QVariant> wide;
            if (odbc && column.wideInteger)
                wide = readOdbcInteger(odbc, int(i));
            const QVariant value = wide ? *wide : query.value(int(i));
            if (!column.declared) {
                column.inference.see(value);
                column.info.type = column.inference.type();
            } else {
                // Widening only: the row text of an integer is the same in
                // every integer type, so earlier rows stay valid.
                column.info.type = integerTypeFor(column.info.type, value);
            }
            const std::optional<QByteArray> text = formatter.text(value, column.info.type);
            if (text) {
                column.longest = qMax(column.longest, text->size());
                writer.appendValue(*text);
            } else {
                writer.appendNull();
            }
        }
        writer.endRow();
        result->m_rowEnds.push_back(result->m_rows.size());
        if (result->m_rows.size() > maxBytes)
            throw Exception(QStringLiteral("The result set is larger than %1 bytes; narrow the query").arg(maxBytes));
    }
    if (query.lastError().isValid())
        throw Exception(errorText(query.lastError()));
    for (ColumnReader& column : columns) {
        if (hasSize(column.info.type))
            column.info.size = int(std::max<qsizetype>({column.declaredLength, column.longest, 1}));
        result->m_columns.append(column.info);
    }
    result->m_document = fieldDefsLines(result->m_columns, formatter.codec());
    return result;
}

QByteArray ResultSet::nextBlock(int maxRows)
{
    if (atEnd() || maxRows < 1)
        return {};
    const qsizetype start = m_next == 0 ? 0 : m_rowEnds[m_next - 1];
    m_next = qMin(m_rowEnds.size(), m_next + size_t(maxRows));
    const qsizetype end = m_rowEnds[m_next - 1];
    return m_rows.sliced(start, end - start);
}

} // namespace lystra
