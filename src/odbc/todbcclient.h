#pragma once

#include "odbc/odbcerrors.h"
#include "odbc/todbcfield.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>

namespace lystra {

class ODBCSocket;
namespace odbc {
struct Reply;
}

// The "sys " requests of SystemRequest, by kind number.
namespace TODBCSystemRequest {
inline constexpr int GetConfig = 0;           // "sys getconfig"
inline constexpr int SetConfig = 1;           // "sys setconfig", then the list's lines
inline constexpr int DataSourceNames = 2;     // "sys datasourcenames "
inline constexpr int DatabaseNames = 3;       // "sys databasenames "
inline constexpr int TableNames = 4;          // "sys tablenames " + data source/database
inline constexpr int IndexNames = 5;          // "sys indexnames " + table
inline constexpr int IndexFields = 6;         // "sys indexfields " + table;index
inline constexpr int DefaultIndexFields = 7;  // "sys defaultindexfields " + table
inline constexpr int CustomData = 8;          // "sys customdata "
} // namespace TODBCSystemRequest

// One connection to the gateway server VIDAZevivu. The server keeps at most
// one open result set, one prepared statement and one transaction per
// connection. Every operation is synchronous and blocks the calling thread
// until the exchange is complete; reads wait without time-out. A client
// belongs to the thread that created it and is used by one thread at a time.
//
// All wire text (statements, values, row text, replies) is 8-bit host text.
//
// Errors:
//  - EODBCError and its kinds ESocketError / EConnectionClosed: connection
//    failures and the protocol's own errors (messages below);
//  - EReplyError: a reply code the command does not admit (message: the reply
//    string, the reply lines each followed by CR LF);
//  - Exception: a 512 reply to "sql "/"execsql"/"execsql2" (the reply
//    string), a batch answered "512..." (that line), the greeting "300..."
//    ("Maximalt antal anslutningar till VIDAZevivu har uppnåtts. Försök igen
//    senare");
//  - EXMLParseException / EConvertError: a bad field-definition document.
// A failed command leaves the client usable; only what it had already
// replaced (field definitions, ResultFieldCount) is changed.
//
// Retry: ExecuteQuery, ExecuteCommand and ExecuteBatch reconnect once and
// send their command again when it fails with a socket error or a closed
// connection; SystemRequest only on a socket error. Reconnecting opens the
// remembered database again. Server-side state does not survive it.
class TODBCClient {
public:
    // Connects to host:port within `connectTimeout` ms, reads and tests the
    // greeting. Raises EODBCError "Unable to connect to VIDAzevivu "<host>":
    // <socket error>" when the connection fails.
    TODBCClient(const QString& host, int connectTimeout, quint16 port);
    // Closes the connection without sending anything.
    ~TODBCClient();
    TODBCClient(const TODBCClient&) = delete;
    TODBCClient& operator=(const TODBCClient&) = delete;

    // "open <database> <user> <password>" (code 200); the words are joined
    // unchanged and remembered for reconnecting.
    void OpenDatabase(const QByteArray& database, const QByteArray& user,
                      const QByteArray& password);

    // "sql <statement>". 200: reads the field definitions and the first row
    // block; the first row is current unless EndOfData. 201: sets
    // RowsAffected (no result set: EndOfData is set).
    void ExecuteQuery(const QByteArray& statement);
    // "execsql2 <statement>" or "execsql <statement>" by the greeting's
    // version; sets RowsAffected.
    void ExecuteCommand(const QByteArray& statement);
    // "sqlbatch", each statement unchanged as a line, "."; one answer line.
    void ExecuteBatch(const QList<QByteArray>& statements);
    // "prep <statement>" (code 200).
    void PrepareStatement(const QByteArray& statement);
    // "exec " + values joined by "," (codes 200, 201). The output values the
    // server sends back (name=value lines) are stored into `values` by name:
    // an entry "name=..." is replaced, else appended. On 200 the result set
    // is opened as by ExecuteQuery.
    void ExecutePrepared(QList<QByteArray>& values);

    void StartTransaction(); // "tran start"
    void Commit();           // "tran commit"
    void Rollback();         // "tran rollback"

    // "clear": the server drops its result set and prepared statement. Any
    // reply code is accepted and every error is swallowed.
    void ClearCursor();

    // A "sys " request (kinds in TODBCSystemRequest). Kind SetConfig sends the
    // list's lines after the 200 reply; every other kind appends the lines
    // the server lists (up to ".") to `list`. Raises EODBCError for an
    // unknown kind.
    void SystemRequest(int kind, const QByteArray& argument, QList<QByteArray>& list);

    // Makes the next row current, fetching a block of RowsPerFetch rows when
    // the current one is used up; sets EndOfData when there are none (then
    // RowValues keep the last row). Raises EODBCError "Read past end-of-file
    // not allowed" when EndOfData is already set.
    void NextRow();

    // The current result set: field definitions and their count (0 after a
    // statement without result set).
    const TODBCFieldList& ResultFields() const noexcept { return m_resultFields; }
    int ResultFieldCount() const noexcept { return m_resultFieldCount; }
    // The current row's values in column order (see odbcvalue.h for their
    // representation; a single byte 255 is NULL) and its text as it arrived.
    const QList<QByteArray>& RowValues() const noexcept { return m_rowValues; }
    const QByteArray& RowText() const noexcept { return m_rowText; }
    bool EndOfData() const noexcept { return m_endOfData; }
    qint64 RowsAffected() const noexcept { return m_rowsAffected; }
    int RowsPerFetch() const noexcept { return m_rowsPerFetch; }
    void setRowsPerFetch(int rows) noexcept { m_rowsPerFetch = rows; }

    // The greeting line of the current connection, code included.
    const QByteArray& Greeting() const noexcept { return m_greeting; }
    bool IsConnected() const noexcept { return m_isConnected; }
    const QString& Host() const noexcept { return m_host; }
    quint16 Port() const noexcept { return m_port; }
    int ConnectTimeout() const noexcept { return m_connectTimeout; }
    const QByteArray& OpenedDatabase() const noexcept { return m_openedDatabase; }
    const QByteArray& OpenedUser() const noexcept { return m_openedUser; }
    const QByteArray& OpenedPassword() const noexcept { return m_openedPassword; }

private:
    enum class RetryOn { SocketErrorOrClose, SocketErrorOnly };

    void connectSocket(bool reconnecting);
    void readGreeting();
    void Reconnect();
    void checkConnected() const;
    void withRetry(RetryOn on, const std::function<void()>& exchange);
    odbc::Reply command(const QByteArray& line, std::initializer_list<int> admitted);
    void readResultSet(const odbc::Reply& reply);
    void readFieldDefinitions(const odbc::Reply& reply);
    bool fetchBlock();
    void takeRow();
    void endOfResult();
    void transaction(const char* word);

    QString m_host;
    quint16 m_port;
    int m_connectTimeout;
    std::unique_ptr<ODBCSocket> m_socket;
    QByteArray m_greeting;
    bool m_isConnected = false;
    QByteArray m_openedDatabase;
    QByteArray m_openedUser;
    QByteArray m_openedPassword;

    TODBCFieldList m_resultFields;
    int m_resultFieldCount = 0;
    QList<QByteArray> m_rowValues;
    QByteArray m_rowText;
    int m_rowsPerFetch = 200;
    QByteArray m_rowBlock;
    qsizetype m_rowPos = 0;
    bool m_endOfData = false;
    qint64 m_rowsAffected = 0;
};

} // namespace lystra
