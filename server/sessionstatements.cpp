#include "server/databaseconnection.h"
#include "server/linechannel.h"
#include "server/resultset.h"
#include "server/servercontext.h"
#include "server/session.h"
#include "server/sessionfailure.h"
#include "server/sqltext.h"

#include "platform/exception.h"

#include <QSqlError>

#include <limits>

namespace lystra {

namespace {

QString shortened(const QString& statement)
{
    constexpr qsizetype kLogged = 300;
    return statement.size() <= kLogged ? statement : statement.first(kLogged) + QStringLiteral("...");
}

} // namespace

QString Session::statementText(QByteArrayView bytes) const
{
    const QString statement = m_context.codec().decode(bytes);
    if (m_db && !m_db->definition().adaptHostSql)
        return statement;
    const QString adapted = withoutIsolationClause(statement);
    return m_db && m_db->isEmbedded() ? hexLiteralsAsBlobs(adapted) : adapted;
}

void Session::checkTransaction() const
{
    if (m_db && m_db->transactionLost())
        throw Failure{512, QStringLiteral("The database ended the transaction after an error; "
                                          "roll it back with \"tran rollback\"")};
}

void Session::run(QSqlQuery& query, const QString& statement) const
{
    if (statement.trimmed().isEmpty())
        throw Failure{512, QStringLiteral("No query")};
    // The engine would read the text only up to the NUL and run that part.
    if (statement.contains(QChar(0)))
        throw Failure{512, QStringLiteral("Statement holds a NUL byte")};
    query.setForwardOnly(true);
    m_changesBefore = m_db ? m_db->totalChanges() : -1;
    if (query.exec(statement))
        return;
    const QString message = errorText(query.lastError());
    log(QStringLiteral("statement failed: %1 | %2").arg(message, shortened(statement)));
    throw Failure{512, message};
}

void Session::runPrepared(QSqlQuery& query) const
{
    m_changesBefore = m_db ? m_db->totalChanges() : -1;
    if (query.exec())
        return;
    const QString message = errorText(query.lastError());
    log(QStringLiteral("prepared statement failed: %1 | %2").arg(message, shortened(m_preparedText)));
    throw Failure{512, message};
}

int Session::rowsAffected(QSqlQuery& query) const
{
    if (query.isSelect()) {
        // A change with RETURNING rows: the engine counts its changes once
        // the statement has run to its end, so the rows are read first. A
        // plain SELECT changes nothing and reports 0 the same way.
        while (query.next()) {
        }
        if (m_changesBefore >= 0 && m_db)
            return int(qBound(qint64(0), m_db->totalChanges() - m_changesBefore, qint64(std::numeric_limits<int>::max())));
        return 0;
    }
    // A statement that changed nothing (DDL, an update matching no row)
    // reports 0, not the count the last data change left behind.
    if (m_changesBefore >= 0 && m_db && m_db->totalChanges() == m_changesBefore)
        return 0;
    return qMax(0, query.numRowsAffected());
}

void Session::openResult(QSqlQuery& query)
{
    try {
        m_result = ResultSet::read(query, m_context.formatter(), m_context.config().maxResultBytes);
    } catch (const Exception& error) {
        log(QStringLiteral("reading the result failed: %1").arg(error.message()));
        throw Failure{512, error.message()};
    }
}

void Session::writeFieldDefsReply()
{
    const QList<QByteArray>& lines = m_result->documentLines();
    qsizetype total = 0;
    for (const QByteArray& line : lines)
        total += line.size();
    if (total > kInlineDocumentLimit) {
        reply(200, "OK");
        return;
    }
    // Inline: the document is the reply text, one element group a line.
    for (qsizetype i = 0; i < lines.size(); ++i)
        m_out.append(i + 1 == lines.size() ? "200 " : "200-").append(lines[i]).append("\r\n");
}

void Session::sql(const QByteArray& argument)
{
    DatabaseConnection& db = database();
    m_result.reset();
    const QString statement = statementText(argument);
    checkTransaction();
    QSqlQuery query(db.database());
    run(query, statement);
    if (query.isSelect()) {
        openResult(query);
        writeFieldDefsReply();
        return;
    }
    reply(201, "OK");
    m_out.append(QByteArray::number(rowsAffected(query))).append("\r\n0\r\n");
}

void Session::execSql(const QByteArray& argument, bool countInReply)
{
    DatabaseConnection& db = database();
    const QString statement = statementText(argument);
    checkTransaction();
    QSqlQuery query(db.database());
    run(query, statement);
    const QByteArray count = QByteArray::number(rowsAffected(query));
    if (countInReply) {
        reply(200, count);
        return;
    }
    reply(200, "OK");
    m_out.append(count).append("\r\n0\r\n");
}

bool Session::runBatchStatement(const QByteArray& line, int number, QString& error)
{
    const QString statement = statementText(line);
    if (statement.trimmed().isEmpty())
        return true;
    try {
        checkTransaction();
        QSqlQuery query(m_db->database());
        run(query, statement);
        return true;
    } catch (const Failure& failure) {
        error = QStringLiteral("Statement %1: %2").arg(number).arg(failure.message);
        return false;
    }
}

void Session::sqlBatch()
{
    // The statements arrive on the lines up to "."; they run as they come, as
    // one unit: all of them or, after an error, none. The lines after an
    // error are read and skipped so that the connection stays in step.
    QString error = m_db ? QString() : QStringLiteral("No database open");
    bool batchOpen = false;
    int number = 0;
    while (true) {
        QByteArray line;
        const LineChannel::Read read = m_channel.readLine(line);
        if (read == LineChannel::Read::Closed || read == LineChannel::Read::Overflow) {
            if (batchOpen)
                m_db->finishBatch(false);
            m_ending = true;
            return;
        }
        if (read == LineChannel::Read::Line && line == ".")
            break;
        ++number;
        if (!error.isEmpty())
            continue;
        if (read == LineChannel::Read::TooLong) {
            error = QStringLiteral("Statement %1: line too long (more than %2 bytes)").arg(number).arg(m_channel.lineLimit());
            continue;
        }
        if (!batchOpen)
            batchOpen = m_db->startBatch();
        runBatchStatement(line, number, error);
    }
    if (batchOpen) {
        const QString failed = m_db->finishBatch(error.isEmpty());
        if (!failed.isEmpty())
            error = QStringLiteral("Commit failed: ") + failed;
    }
    if (error.isEmpty()) {
        m_out.append("200 OK\r\n");
        return;
    }
    // The client reads one plain line here: the whole message on it.
    error.replace(u'\r', u' ').replace(u'\n', u' ');
    m_out.append("512 ").append(m_context.codec().encode(error)).append("\r\n");
}

void Session::prepare(const QByteArray& argument)
{
    DatabaseConnection& db = database();
    m_prepared.reset();
    m_preparedText = statementText(argument);
    m_preparedMarkers = countParameterMarkers(m_preparedText);
    if (m_preparedText.trimmed().isEmpty())
        throw Failure{512, QStringLiteral("No query")};
    if (m_preparedText.contains(QChar(0)))
        throw Failure{512, QStringLiteral("Statement holds a NUL byte")};
    auto query = std::make_unique<QSqlQuery>(db.database());
    query->setForwardOnly(true);
    if (!query->prepare(m_preparedText)) {
        const QString message = errorText(query->lastError());
        log(QStringLiteral("prepare failed: %1 | %2").arg(message, shortened(m_preparedText)));
        throw Failure{512, message};
    }
    m_prepared = std::move(query);
    reply(200, "OK");
}

void Session::execPrepared(const QByteArray& argument)
{
    if (!m_prepared)
        throw Failure{503, QStringLiteral("No prepared statement")};
    database();
    const QList<QByteArray> values = splitExecValues(argument, m_preparedMarkers);
    if (values.size() != m_preparedMarkers)
        throw Failure{501, QStringLiteral("The statement takes %1 values, %2 given").arg(m_preparedMarkers).arg(values.size())};
    checkTransaction();
    m_result.reset();
    for (qsizetype i = 0; i < values.size(); ++i) {
        // The one byte 255 is NULL, as in rows.
        const bool isNull = values[i].size() == 1 && values[i][0] == '\xff';
        m_prepared->bindValue(int(i), isNull ? QVariant(QMetaType::fromType<QString>())
                                             : QVariant(m_context.codec().decode(values[i])));
    }
    runPrepared(*m_prepared);
    if (m_prepared->isSelect()) {
        {
            // The rows are all read; let the backend end its read at once.
            struct Finish {
                QSqlQuery& query;
                ~Finish() { query.finish(); }
            } finish{*m_prepared};
            openResult(*m_prepared);
        }
        writeFieldDefsReply();
        m_out.append(".\r\n");
        return;
    }
    reply(201, "OK");
    m_out.append(QByteArray::number(rowsAffected(*m_prepared))).append("\r\n.\r\n");
}

} // namespace lystra
