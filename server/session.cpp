#include "server/session.h"

#include "server/databaseconnection.h"
#include "server/linechannel.h"
#include "server/resultset.h"
#include "server/servercontext.h"
#include "server/serverlog.h"
#include "server/sessionfailure.h"

#include "platform/exception.h"

#include <QtEndian>

namespace lystra {

Session::Session(ServerContext& context, LineChannel& channel, quint64 id)
    : m_context(context), m_channel(channel), m_id(id)
{
}

Session::~Session()
{
    // Queries first: a Qt SQL connection must outlive every query made on it.
    dropStatementState();
    if (m_db && m_db->inTransaction())
        log(QStringLiteral("transaction left open by the client is rolled back"));
    m_db.reset();
}

void Session::run()
{
    m_out = m_context.config().greeting + "\r\n";
    if (!m_channel.send(m_out))
        return;
    m_out.clear();
    while (!m_ending) {
        QByteArray line;
        LineChannel::Read read = LineChannel::Read::Line;
        if (m_pendingLine) {
            line = std::move(*m_pendingLine);
            m_pendingLine.reset();
        } else {
            read = m_channel.readLine(line);
        }
        switch (read) {
        case LineChannel::Read::Line:
            handle(line);
            break;
        case LineChannel::Read::TooLong:
            reply(500, QStringLiteral("Line too long (more than %1 bytes)").arg(m_channel.lineLimit()).toLatin1());
            log(QStringLiteral("line longer than %1 bytes refused").arg(m_channel.lineLimit()));
            break;
        case LineChannel::Read::Overflow:
            reply(500, QStringLiteral("Line too long (more than %1 bytes); closing the connection")
                           .arg(m_channel.lineLimit())
                           .toLatin1());
            log(QStringLiteral("endless line; connection dropped"));
            m_ending = true;
            break;
        case LineChannel::Read::Closed:
            return;
        }
        if (!m_out.isEmpty() && !m_channel.send(m_out))
            return;
        m_out.clear();
    }
}

void Session::handle(const QByteArray& line)
{
    const Command command = parseCommand(line);
    try {
        dispatch(command);
    } catch (const Failure& failure) {
        replyLines(failure.code, failure.message);
    } catch (const std::exception& error) {
        // Not expected: a fault of the server, not of the request. Answer and
        // keep serving; the log says what happened.
        m_out.clear();
        reply(500, "Internal server error");
        log(QStringLiteral("internal error in \"%1\": %2")
                .arg(QString::fromLatin1(printable(command.word)), QString::fromUtf8(error.what())));
    }
}

void Session::dispatch(const Command& command)
{
    switch (command.kind) {
    case CommandKind::Empty:
        throw Failure{500, QStringLiteral("Empty command")};
    case CommandKind::Unknown:
        throw Failure{500, QStringLiteral("Unknown command: ") + QString::fromLatin1(printable(command.word))};
    case CommandKind::Open: open(command.argument); break;
    case CommandKind::Sql: sql(command.argument); break;
    case CommandKind::ExecSql: execSql(command.argument, false); break;
    case CommandKind::ExecSql2: execSql(command.argument, true); break;
    case CommandKind::SqlBatch: sqlBatch(); break;
    case CommandKind::Prep: prepare(command.argument); break;
    case CommandKind::Exec: execPrepared(command.argument); break;
    case CommandKind::Get: get(command.argument); break;
    case CommandKind::Info: info(); break;
    case CommandKind::Tran: transaction(command.argument); break;
    case CommandKind::Clear: clear(); break;
    case CommandKind::Sys: system(command.argument); break;
    }
}

void Session::open(const QByteArray& argument)
{
    const OpenArguments words = splitOpenArguments(argument);
    const HostCodec& codec = m_context.codec();
    const QString name = codec.decode(words.database);
    const QString user = codec.decode(words.user);
    const QString password = codec.decode(words.password);
    if (m_context.refusesLogin(user, password)) {
        log(QStringLiteral("login refused for user \"%1\"").arg(QString::fromLatin1(printable(words.user))));
        throw Failure{530, QStringLiteral("Login failed")};
    }
    const auto definition = m_context.catalog().find(name);
    if (!definition)
        throw Failure{550, QStringLiteral("Unknown database: ") + QString::fromLatin1(printable(words.database))};
    std::unique_ptr<DatabaseConnection> connection;
    try {
        connection = std::make_unique<DatabaseConnection>(*definition, user, password);
    } catch (const Exception& error) {
        log(QStringLiteral("cannot open database %1: %2").arg(definition->name, error.message()));
        throw Failure{550, QStringLiteral("Cannot open database %1: %2").arg(definition->name, error.message())};
    }
    // The new database replaces the old one with all its state; an open
    // transaction of the old one is rolled back, not committed.
    dropStatementState();
    m_db = std::move(connection);
    m_loggedIn = true;
    m_user = user;
    m_password = password;
    log(QStringLiteral("database %1 opened for user \"%2\"").arg(definition->name, user));
    reply(200, "OK");
}

void Session::get(const QByteArray& argument)
{
    if (!m_result)
        throw Failure{503, QStringLiteral("No open result set")};
    const auto rows = parseRowCount(argument, kMaxRowsPerBlock);
    if (!rows)
        throw Failure{501, QStringLiteral("Invalid row count: ") + QString::fromLatin1(printable(argument))};
    if (m_result->atEnd()) {
        reply(522, "No more rows");
        return;
    }
    const QByteArray block = m_result->nextBlock(*rows);
    reply(200, "OK");
    char length[4];
    qToBigEndian<quint32>(quint32(block.size()), length);
    m_out.append(length, 4);
    m_out.append(block);
}

void Session::info()
{
    if (!m_result)
        throw Failure{503, QStringLiteral("No open result set")};
    const QByteArray document = m_result->documentLines().join("\r\n");
    reply(200, "OK");
    char length[4];
    qToBigEndian<quint32>(quint32(document.size()), length);
    m_out.append(length, 4);
    m_out.append(document);
}

void Session::transaction(const QByteArray& argument)
{
    const QByteArray action = argument.trimmed().toLower();
    if (action != "start" && action != "commit" && action != "rollback")
        throw Failure{501, QStringLiteral("Unknown transaction command: ") + QString::fromLatin1(printable(argument))};
    DatabaseConnection& db = database();
    try {
        if (action == "start") {
            if (db.inTransaction())
                throw Failure{503, QStringLiteral("Transaction already started")};
            db.begin();
        } else if (!db.inTransaction()) {
            throw Failure{503, QStringLiteral("No transaction active")};
        } else if (action == "commit") {
            db.commit();
        } else {
            db.rollback();
        }
    } catch (const Exception& error) {
        log(QStringLiteral("tran %1 failed: %2").arg(QString::fromLatin1(action), error.message()));
        throw Failure{512, error.message()};
    }
    reply(200, "OK");
}

void Session::clear()
{
    dropStatementState();
    reply(200, "OK");
}

void Session::dropStatementState()
{
    m_result.reset();
    m_prepared.reset();
    m_preparedMarkers = 0;
    m_preparedText.clear();
}

DatabaseConnection& Session::database() const
{
    if (!m_db)
        throw Failure{503, QStringLiteral("No database open")};
    return *m_db;
}

void Session::reply(int code, QByteArrayView text)
{
    m_out.append(QByteArray::number(code)).append(' ').append(text).append("\r\n");
}

void Session::replyLines(int code, const QString& text)
{
    // Backend messages may span lines; each becomes a reply line, so the
    // client gets the text as the backend wrote it.
    QStringList lines;
    for (const QString& part : text.split(u'\n')) {
        QString line = part;
        for (QChar& c : line) {
            if (c.unicode() < 32)
                c = u' ';
        }
        line = line.trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    if (lines.isEmpty())
        lines.append(QStringLiteral("Error"));
    const QByteArray number = QByteArray::number(code);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool last = i + 1 == lines.size();
        m_out.append(number).append(last ? ' ' : '-').append(m_context.codec().encode(lines[i])).append("\r\n");
    }
}

void Session::log(const QString& text) const
{
    logLine(QStringLiteral("#%1 %2").arg(m_id).arg(text));
}

} // namespace lystra
