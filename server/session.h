#pragma once

#include "server/command.h"

#include <QByteArray>
#include <QSqlQuery>
#include <QString>

#include <memory>
#include <optional>

namespace lystra {

class DatabaseConnection;
class LineChannel;
class ResultSet;
class ServerContext;

// The server side of one client connection: reads command lines, runs them
// against the connection's database and writes the replies. A session holds
// at most one open database, one result set, one prepared statement and one
// transaction. Every failure of a command becomes an error reply and the
// session goes on; only a broken connection ends it. All of it runs on one
// thread (Qt SQL connections are per thread).
//
// Reply codes besides the protocol's own: 500 unknown command or line too
// long, 501 bad argument, 503 command out of sequence (no database, result
// set or prepared statement), 512 statement failed (the backend's text),
// 522 no more rows, 530 login refused, 550 database unknown or not opened.
class Session {
public:
    Session(ServerContext& context, LineChannel& channel, quint64 id);
    ~Session();

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Sends the greeting, then serves commands until the channel closes.
    // The database, with any open transaction rolled back, closes with the
    // session.
    void run();

private:
    struct Failure;

    void handle(const QByteArray& line);
    void dispatch(const Command& command);

    // Command handlers (session.cpp)
    void open(const QByteArray& argument);
    void get(const QByteArray& argument);
    void info();
    void transaction(const QByteArray& argument);
    void clear();

    // Statements (sessionstatements.cpp)
    void sql(const QByteArray& argument);
    void execSql(const QByteArray& argument, bool countInReply);
    void sqlBatch();
    void prepare(const QByteArray& argument);
    void execPrepared(const QByteArray& argument);
    QString statementText(QByteArrayView bytes) const;
    void checkTransaction() const;
    void run(QSqlQuery& query, const QString& statement) const;
    void runPrepared(QSqlQuery& query) const;
    int rowsAffected(QSqlQuery& query) const;
    void openResult(QSqlQuery& query);
    void writeFieldDefsReply();
    bool runBatchStatement(const QByteArray& line, int number, QString& error);

    // System requests (sessionsys.cpp)
    void system(const QByteArray& argument);
    void writeLineList(const QStringList& lines);
    QStringList tableNames(const QByteArray& argument);
    void setConfig();

    // Output and helpers
    void reply(int code, QByteArrayView text);
    void replyLines(int code, const QString& text);
    DatabaseConnection& database() const;
    void dropStatementState();
    void log(const QString& text) const;

    ServerContext& m_context;
    LineChannel& m_channel;
    quint64 m_id;
    QByteArray m_out; // the reply being built; sent after each command
    bool m_ending = false;
    bool m_loggedIn = false;
    QString m_user;
    QString m_password;
    std::unique_ptr<DatabaseConnection> m_db;
    std::unique_ptr<ResultSet> m_result;
    std::unique_ptr<QSqlQuery> m_prepared;
    int m_preparedMarkers = 0;
    QString m_preparedText;
    // A line read while taking the lines of "sys setconfig" that turned out
    // to be the next command.
    std::optional<QByteArray> m_pendingLine;
    // The embedded database's change count before the last statement ran.
    mutable qint64 m_changesBefore = -1;
};

} // namespace lystra
