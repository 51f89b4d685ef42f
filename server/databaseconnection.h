#pragma once

#include "server/serverconfig.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>

struct sqlite3;

namespace lystra {

// One open database of one client connection, through Qt SQL (QSQLITE for
// embedded databases, QODBC for ODBC sources). Qt SQL connections belong to
// the thread that made them: create, use and destroy an instance on one
// thread. Queries made on it must be destroyed before it is.
class DatabaseConnection {
public:
    // Opens the database. An embedded database must exist (it is never
    // created here). For ODBC, the client's user and password are handed to
    // the source unless the connection string carries its own UID or PWD.
    // Throws lystra::Exception with the backend's message.
    DatabaseConnection(const DatabaseDefinition& definition, const QString& user, const QString& password);
    // Rolls back a transaction left open, then closes.
    ~DatabaseConnection();

    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    QSqlDatabase& database() { return m_db; }
    const DatabaseDefinition& definition() const { return m_definition; }
    bool isEmbedded() const { return m_definition.kind == DatabaseDefinition::Kind::Sqlite; }

    // Transaction control; each throws lystra::Exception with the backend's
    // message when the backend refuses. inTransaction() is what this
    // connection started and did not end.
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }
    // True when the database ended the open transaction on its own (SQLite
    // rolls back on some errors): further statements would then commit one
    // by one, so the caller refuses them until the client rolls back.
    bool transactionLost() const;

    // Makes the statements up to finishBatch() one unit: a transaction of
    // its own, or a savepoint inside the client's open transaction. False
    // when the backend offers neither; the statements then run one by one.
    bool startBatch();
    // Keeps (commits or releases) or undoes the batch's statements. Returns
    // the backend's message when keeping failed (everything was then undone),
    // else an empty text.
    QString finishBatch(bool keep);

    // The embedded database's count of every row changed since it opened, to
    // tell whether a statement changed any (the backend's own per-statement
    // count keeps the last data change's value across other statements);
    // -1 for ODBC sources, whose count is the statement's own.
    qint64 totalChanges() const;

    // Catalogue requests; names as the database spells them. Unknown tables
    // and indexes give empty lists.
    QStringList tableNames() const;
    QStringList indexNames(const QString& table) const;
    QStringList indexFields(const QString& table, const QString& index) const;
    QStringList defaultIndexFields(const QString& table) const;

private:
    void openEmbedded(const QString& path);
    void openOdbc(const QString& connection, const QString& user, const QString& password);
    sqlite3* sqliteHandle() const;
    QStringList pragmaColumn(const QString& pragma, const QString& argument, const char* column) const;

    DatabaseDefinition m_definition;
    QString m_connectionName;
    QSqlDatabase m_db;
    bool m_inTransaction = false;
    enum class Batch { None, Transaction, Savepoint } m_batch = Batch::None;
};

// Settings of the embedded engine that must be made before its first
// database opens: the process-wide memory statistics are switched off, since
// their lock is taken on every allocation of every connection and hundreds of
// connection threads would queue on it. Call once at start-up.
void configureEmbeddedEngine();

// The message of a Qt SQL error: the backend's own text when there is one.
QString errorText(const QSqlError& error);

} // namespace lystra
