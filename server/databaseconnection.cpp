#include "server/databaseconnection.h"
#include "server/odbcdeclarations.h"

#include "platform/exception.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

#include <sqlite3.h>

#include <atomic>
#include <utility>

namespace lystra {

namespace {

std::atomic<quint64> g_connectionNumber{0};

QString quotedIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// UPPER() and LOWER() of SQLite fold ASCII letters only; the host folds
// every letter, so "UPPER(\"USER\")='ÅSA'" must match a stored "åsa".
void caseFunction(sqlite3_context* context, int argc, sqlite3_value** argv, bool upper)
{
    if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = static_cast<const char16_t*>(sqlite3_value_text16(argv[0]));
    const int bytes = sqlite3_value_bytes16(argv[0]);
    const QString folded = upper ? QStringView(text, bytes / 2).toString().toUpper()
                                 : QStringView(text, bytes / 2).toString().toLower();
    sqlite3_result_text16(context, folded.utf16(), int(folded.size() * 2), SQLITE_TRANSIENT);
}

void upperFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    caseFunction(context, argc, argv, true);
}

void lowerFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    caseFunction(context, argc, argv, false);
}

// A connection reaches only the database it opened: statements that would
// open another file (ATTACH, and VACUUM INTO, which attaches its target) are
// refused, so SQL cannot get around the names the server lists. A private
// temporary database ('' or ':memory:') touches no named file; plain VACUUM
// attaches one of those. The engine names the file only when the statement
// holds it as a literal; a "?" marker or an expression is known only when
// the statement runs, so such an ATTACH is refused as well.
int authorize(void*, int action, const char* file, const char*, const char*, const char*)
{
    if (action != SQLITE_ATTACH)
        return SQLITE_OK;
    if (!file)
        return SQLITE_DENY;
    const QByteArrayView name(file);
    return name.isEmpty() || name == ":memory:" ? SQLITE_OK : SQLITE_DENY;
}

bool carriesCredentials(const QString& connection)
{
    static const QLatin1StringView keys[] = {QLatin1StringView("UID="), QLatin1StringView("PWD=")};
    for (const auto key : keys) {
        if (connection.startsWith(key, Qt::CaseInsensitive) ||
            connection.contains(u';' + QString(key), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

void configureEmbeddedEngine()
{
    // SQLITE_MISUSE when the engine is already running: it then keeps its
    // defaults, which are correct, only slower.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

namespace {

// A diagnostic up to its terminating NUL: a driver manager that converts an
// 8-bit driver's text can report its length in bytes, so the text Qt takes
// carries the terminator and whatever followed it in the buffer.
QString diagnostic(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return (nul < 0 ? text : text.first(nul)).trimmed();
}

} // namespace

QString errorText(const QSqlError& error)
{
    QString text = diagnostic(error.databaseText());
    // SQLite's text for "no error": the driver refused before the engine ran
    // (several statements on one line, for one); its own text says why.
    if (text.compare(u"not an error", Qt::CaseInsensitive) == 0)
        text.clear();
    if (text.isEmpty())
        text = diagnostic(error.driverText());
    if (text.isEmpty())
        text = QStringLiteral("Unknown database error");
    return text;
}

DatabaseConnection::DatabaseConnection(const DatabaseDefinition& definition, const QString& user,
                                       const QString& password)
    : m_definition(definition),
      m_connectionName(QStringLiteral("vidazevivu-%1").arg(++g_connectionNumber))
{
    try {
        if (isEmbedded())
            openEmbedded(definition.target);
        else
            openOdbc(definition.target, user, password);
    } catch (...) {
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw;
    }
}

DatabaseConnection::~DatabaseConnection()
{
    if (m_batch != Batch::None)
        finishBatch(false);
    if (m_inTransaction)
        m_db.rollback();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void DatabaseConnection::openEmbedded(const QString& path)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    // mode=rw: a file that vanished since it was listed is not created anew.
    QUrl url = QUrl::fromLocalFile(path);
    url.setQuery(QStringLiteral("mode=rw"));
    m_db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open())
        throw Exception(errorText(m_db.lastError()));
    sqlite3* handle = sqliteHandle();
    if (!handle)
        throw Exception(QStringLiteral("The SQLite driver gave no database handle"));
    sqlite3_set_authorizer(handle, authorize, nullptr);
    const int flags = SQLITE_UTF16 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(handle, "upper", 1, flags, nullptr, upperFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(handle, "lower", 1, flags, nullptr, lowerFunction, nullptr, nullptr, nullptr);
}

void DatabaseConnection::openOdbc(const QString& connection, const QString& user, const QString& password)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
    if (!m_db.isValid())
        throw Exception(QStringLiteral("The ODBC driver of Qt SQL is not available"));
    m_db.setDatabaseName(connection);
    if (!carriesCredentials(connection)) {
        m_db.setUserName(user);
        m_db.setPassword(password);
    }
    if (!m_db.open())
        throw Exception(errorText(m_db.lastError()));
}

sqlite3* DatabaseConnection::sqliteHandle() const
{
    if (!isEmbedded() || !m_db.driver())
        return nullptr;
    const QVariant handle = m_db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

void DatabaseConnection::begin()
{
    if (!m_db.transaction())
        throw Exception(errorText(m_db.lastError()));
    m_inTransaction = true;
}

void DatabaseConnection::commit()
{
    if (m_db.commit()) {
        m_inTransaction = false;
        return;
    }
    const QString message = errorText(m_db.lastError());
    // A refused commit (a busy database) leaves the transaction open for a
    // retry or a rollback, unless the database already ended it.
    if (sqlite3* handle = sqliteHandle(); handle && sqlite3_get_autocommit(handle))
        m_inTransaction = false;
    throw Exception(message);
}

void DatabaseConnection::rollback()
{
    m_inTransaction = false;
    if (!m_db.rollback()) {
        if (sqlite3* handle = sqliteHandle(); handle && sqlite3_get_autocommit(handle))
            return; // the database had already rolled back
        throw Exception(errorText(m_db.lastError()));
    }
}

bool DatabaseConnection::transactionLost() const
{
    sqlite3* handle = sqliteHandle();
    return m_inTransaction && handle && sqlite3_get_autocommit(handle) != 0;
}

namespace {
const QString kSavepoint = QStringLiteral("vidazevivu_batch");
} // namespace

bool DatabaseConnection::startBatch()
{
    if (!m_inTransaction) {
        if (!m_db.transaction())
            return false;
        m_batch = Batch::Transaction;
        return true;
    }
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SAVEPOINT ") + kSavepoint))
        return false;
    m_batch = Batch::Savepoint;
    return true;
}

QString DatabaseConnection::finishBatch(bool keep)
{
    const Batch batch = std::exchange(m_batch, Batch::None);
    if (batch == Batch::Transaction) {
        if (keep && m_db.commit())
            return {};
        const QString message = keep ? errorText(m_db.lastError()) : QString();
        m_db.rollback();
        return message;
    }
    if (batch == Batch::Savepoint) {
        QSqlQuery query(m_db);
        if (!keep)
            query.exec(QStringLiteral("ROLLBACK TO SAVEPOINT ") + kSavepoint);
        query.exec(QStringLiteral("RELEASE SAVEPOINT ") + kSavepoint);
    }
    return {};
}

qint64 DatabaseConnection::totalChanges() const
{
    sqlite3* handle = isEmbedded() ? sqliteHandle() : nullptr;
    return handle ? qint64(sqlite3_total_changes64(handle)) : -1;
}

QStringList DatabaseConnection::tableNames() const
{
    QStringList names = m_db.tables(QSql::Tables);
    names.append(m_db.tables(QSql::Views));
    return names;
}

QStringList DatabaseConnection::pragmaColumn(const QString& pragma, const QString& argument,
                                             const char* column) const
{
    QStringList values;
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("PRAGMA %1(%2)").arg(pragma, quotedIdentifier(argument))))
        return values;
    const int index = query.record().indexOf(QLatin1StringView(column));
    while (index >= 0 && query.next())
        values.append(query.value(index).toString());
    return values;
}

QStringList DatabaseConnection::indexNames(const QString& table) const
{
    if (isEmbedded())
        return pragmaColumn(QStringLiteral("index_list"), table, "name");
    QStringList names;
    for (const OdbcIndex& index : odbcIndexes(m_db.driver()->handle(), table))
        names.append(index.name);
    // Some drivers list the primary key only through its own request.
    const QSqlIndex primary = m_db.primaryIndex(table);
    if (!primary.name().isEmpty() && !names.contains(primary.name(), Qt::CaseInsensitive))
        names.append(primary.name());
    return names;
}

QStringList DatabaseConnection::indexFields(const QString& table, const QString& index) const
{
    if (isEmbedded()) {
        if (!indexNames(table).contains(index, Qt::CaseInsensitive))
            return {};
        return pragmaColumn(QStringLiteral("index_info"), index, "name");
    }
    for (const OdbcIndex& found : odbcIndexes(m_db.driver()->handle(), table)) {
        if (found.name.compare(index, Qt::CaseInsensitive) == 0)
            return found.columns;
    }
    const QSqlIndex primary = m_db.primaryIndex(table);
    if (index.isEmpty() || primary.name().compare(index, Qt::CaseInsensitive) != 0)
        return {};
    QStringList fields;
    for (int i = 0; i < primary.count(); ++i)
        fields.append(primary.fieldName(i));
    return fields;
}

QStringList DatabaseConnection::defaultIndexFields(const QString& table) const
{
    if (!isEmbedded()) {
        const QSqlIndex primary = m_db.primaryIndex(table);
        QStringList fields;
        for (int i = 0; i < primary.count(); ++i)
            fields.append(primary.fieldName(i));
        return fields;
    }
    // The primary key's columns in key order (table_info numbers them in "pk").
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quotedIdentifier(table))))
        return {};
    QMap<int, QString> keyColumns;
    const int nameIndex = query.record().indexOf(QStringLiteral("name"));
    const int pkIndex = query.record().indexOf(QStringLiteral("pk"));
    while (query.next()) {
        const int position = query.value(pkIndex).toInt();
        if (position > 0)
            keyColumns.insert(position, query.value(nameIndex).toString());
    }
    return keyColumns.values();
}

} // namespace lystra
