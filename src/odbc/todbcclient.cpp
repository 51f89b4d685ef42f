#include "odbc/todbcclient.h"

#include "odbc/odbcprotocol.h"
#include "odbc/odbcsocket.h"
#include "platform/convert.h"
#include "platform/hostcodec.h"

#include <cstring>

namespace lystra {

using odbc::Reply;

namespace {

// A failure whose message is wire text from the server.
[[noreturn]] void raiseServerText(const QByteArray& text)
{
    throw Exception(HostCodec::host().decode(text));
}

// Copies into `target`, keeping its buffer when it is not shared: rows are
// taken one by one from a block and are of similar length.
void assignBytes(QByteArray& target, QByteArrayView bytes)
{
    target.resize(bytes.size());
    if (!bytes.isEmpty())
        std::memcpy(target.data(), bytes.data(), bytes.size());
}

} // namespace

TODBCClient::TODBCClient(const QString& host, int connectTimeout, quint16 port)
    : m_host(host), m_port(port), m_connectTimeout(connectTimeout)
{
    connectSocket(false);
    readGreeting();
    m_rowText = QByteArrayLiteral(".");
    m_rowsPerFetch = 200;
    m_endOfData = false;
    m_isConnected = true;
}

TODBCClient::~TODBCClient() = default;

void TODBCClient::connectSocket(bool reconnecting)
{
    // Destroying the old socket aborts it; that cannot fail.
    m_socket = std::make_unique<ODBCSocket>();
    const QString error = m_socket->connectTo(m_host, m_port, m_connectTimeout);
    if (error.isEmpty())
        return;
    // The unconnected socket stays: its reads and writes raise socket
    // errors, so a later retrying command tries to connect again.
    if (reconnecting)
        throw EODBCError(QStringLiteral("Connection to VIDAZevivu lost"));
    throw EODBCError(
        QStringLiteral("Unable to connect to VIDAzevivu \"%1\": %2").arg(m_host, error));
}

void TODBCClient::readGreeting()
{
    m_greeting = m_socket->readLine();
    if (m_greeting.startsWith("300"))
        throw Exception(QStringLiteral(
            "Maximalt antal anslutningar till VIDAZevivu har uppnåtts. Försök igen senare"));
}

void TODBCClient::Reconnect()
{
    connectSocket(true);
    // The new greeting decides between "execsql" and "execsql2" from now on.
    readGreeting();
    m_rowText = QByteArrayLiteral(".");
    if (!m_openedDatabase.isEmpty())
        command("open " + m_openedDatabase + ' ' + m_openedUser + ' ' + m_openedPassword, {200});
    m_isConnected = true;
}

void TODBCClient::checkConnected() const
{
    if (!m_isConnected)
        throw Exception(QStringLiteral("Not connected to VIDAZevivu."));
}

void TODBCClient::withRetry(RetryOn on, const std::function<void()>& exchange)
{
    try {
        exchange();
        return;
    } catch (const EConnectionClosed&) {
        if (on == RetryOn::SocketErrorOnly)
            throw;
    } catch (const ESocketError&) {
    }
    Reconnect();
    exchange();
}

Reply TODBCClient::command(const QByteArray& line, std::initializer_list<int> admitted)
{
    m_socket->writeLine(line);
    Reply reply = m_socket->readReply();
    if (admitted.size() > 0 &&
        std::find(admitted.begin(), admitted.end(), reply.numericCode) == admitted.end())
        throw EReplyError(reply.numericCode, reply.replyString());
    return reply;
}

void TODBCClient::OpenDatabase(const QByteArray& database, const QByteArray& user,
                               const QByteArray& password)
{
    checkConnected();
    m_openedDatabase = database;
    m_openedUser = user;
    m_openedPassword = password;
    command("open " + database + ' ' + user + ' ' + password, {200});
}

void TODBCClient::ExecuteQuery(const QByteArray& statement)
{
    m_resultFieldCount = 0;
    const QByteArray line = "sql " + odbc::flattenStatement(statement);
    Reply reply;
    withRetry(RetryOn::SocketErrorOrClose, [&] { reply = command(line, {200, 201, 512}); });
    switch (reply.numericCode) {
    case 200:
        readResultSet(reply);
        break;
    case 201:
        m_rowsAffected = toInt64(m_socket->readLine());
        m_socket->readLine();
        endOfResult();
        break;
    default:
        raiseServerText(reply.replyString());
    }
}

void TODBCClient::ExecuteCommand(const QByteArray& statement)
{
    checkConnected();
    m_resultFieldCount = 0;
    const QByteArray flat = odbc::flattenStatement(statement);
    QByteArray word;
    Reply reply;
    withRetry(RetryOn::SocketErrorOrClose, [&] {
        word = odbc::execSqlCommandFor(m_greeting);
        reply = command(word + ' ' + flat, {200, 512});
    });
    if (reply.numericCode != 200)
        raiseServerText(reply.replyString());
    if (word == "execsql2") {
        m_rowsAffected = parseInt64(reply.lines.value(0)).value_or(0);
    } else {
        m_rowsAffected = toInt64(m_socket->readLine());
        m_socket->readLine();
    }
}

void TODBCClient::ExecuteBatch(const QList<QByteArray>& statements)
{
    checkConnected();
    QList<QByteArray> lines;
    lines.reserve(statements.size() + 2);
    lines.append(QByteArrayLiteral("sqlbatch"));
    lines.append(statements);
    lines.append(QByteArrayLiteral("."));
    QByteArray answer;
    withRetry(RetryOn::SocketErrorOrClose, [&] {
        m_socket->writeLines(lines);
        answer = m_socket->readLine();
    });
    if (answer.startsWith("512"))
        raiseServerText(answer);
}

void TODBCClient::PrepareStatement(const QByteArray& statement)
{
    checkConnected();
    m_resultFieldCount = 0;
    command("prep " + odbc::flattenStatement(statement), {200});
}

void TODBCClient::ExecutePrepared(QList<QByteArray>& values)
{
    checkConnected();
    m_resultFieldCount = 0;
    const Reply reply = command("exec " + values.join(','), {200, 201});
    QByteArray line = m_socket->readLine();
    if (reply.code == "201") {
        m_rowsAffected = toInt64(line);
        line = m_socket->readLine();
    }
    // Output values, one "name=value" line each.
    while (line != ".") {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            odbc::setNameValue(values, line, {});
        else
            odbc::setNameValue(values, QByteArrayView(line).first(eq),
                               QByteArrayView(line).sliced(eq + 1));
        line = m_socket->readLine();
    }
    if (reply.code == "200")
        readResultSet(reply);
    else
        endOfResult();
}

void TODBCClient::transaction(const char* word)
{
    checkConnected();
    command(QByteArrayLiteral("tran ") + word, {200});
}

void TODBCClient::StartTransaction()
{
    transaction("start");
}

void TODBCClient::Commit()
{
    transaction("commit");
}

void TODBCClient::Rollback()
{
    transaction("rollback");
}

void TODBCClient::ClearCursor()
{
    try {
        checkConnected();
        command(QByteArrayLiteral("clear"), {});
    } catch (const Exception&) {
        // The connection is only being tidied for reuse; a failure here
        // shows again at its next real use.
    }
}

void TODBCClient::SystemRequest(int kind, const QByteArray& argument, QList<QByteArray>& list)
{
    checkConnected();
    QByteArray line;
    switch (kind) {
    case TODBCSystemRequest::GetConfig: line = "sys getconfig"; break;
    case TODBCSystemRequest::SetConfig: line = "sys setconfig"; break;
    case TODBCSystemRequest::DataSourceNames: line = "sys datasourcenames "; break;
    case TODBCSystemRequest::DatabaseNames: line = "sys databasenames "; break;
    case TODBCSystemRequest::TableNames: line = "sys tablenames " + argument; break;
    case TODBCSystemRequest::IndexNames: line = "sys indexnames " + argument; break;
    case TODBCSystemRequest::IndexFields: line = "sys indexfields " + argument; break;
    case TODBCSystemRequest::DefaultIndexFields: line = "sys defaultindexfields " + argument; break;
    case TODBCSystemRequest::CustomData: line = "sys customdata "; break;
    default:
        throw EODBCError(QStringLiteral("Unknown system request kind %1").arg(kind));
    }
    withRetry(RetryOn::SocketErrorOnly, [&] { command(line, {200}); });
    if (kind == TODBCSystemRequest::SetConfig) {
        m_socket->writeLines(list);
        return;
    }
    for (QByteArray item = m_socket->readLine(); item != "."; item = m_socket->readLine())
        list.append(item);
}

void TODBCClient::readFieldDefinitions(const Reply& reply)
{
    m_resultFields.clear();
    m_resultFieldCount = 0;
    // A short document travels as the reply text; a long one is announced
    // by "OK" and fetched as a block.
    QByteArray document = reply.replyString();
    if (document == "OK\r\n") {
        command(QByteArrayLiteral("info "), {200});
        document = m_socket->readBlock();
    }
    m_resultFields = readFieldDefs(document);
    m_resultFieldCount = static_cast<int>(m_resultFields.size());
}

void TODBCClient::readResultSet(const Reply& reply)
{
    readFieldDefinitions(reply);
    m_endOfData = !fetchBlock();
    if (!m_endOfData)
        takeRow();
}

bool TODBCClient::fetchBlock()
{
    m_rowBlock.clear();
    m_rowPos = 0;
    const Reply reply = command("get " + QByteArray::number(m_rowsPerFetch), {200, 522});
    if (reply.numericCode != 200)
        return false;
    m_rowBlock = m_socket->readBlock();
    return !m_rowBlock.isEmpty();
}

void TODBCClient::takeRow()
{
    const odbc::RowParse row = odbc::splitNextRow(m_rowBlock, m_rowPos, m_rowValues);
    assignBytes(m_rowText, row.text);
    m_rowPos = row.next;
}

void TODBCClient::endOfResult()
{
    // The server keeps no result set after a statement without one; rows
    // of an earlier result must not stay readable.
    m_endOfData = true;
    m_rowBlock.clear();
    m_rowPos = 0;
}

void TODBCClient::NextRow()
{
    if (m_endOfData)
        throw EODBCError(QStringLiteral("Read past end-of-file not allowed"));
    if (m_rowPos >= m_rowBlock.size()) {
        m_endOfData = !fetchBlock();
        if (m_endOfData)
            return;
    }
    takeRow();
}

} // namespace lystra
