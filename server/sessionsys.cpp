#include "server/databaseconnection.h"
#include "server/linechannel.h"
#include "server/servercontext.h"
#include "server/session.h"
#include "server/sessionfailure.h"

#include "platform/exception.h"

namespace lystra {

namespace {

QStringList configLines(const ServerConfig& config)
{
    // What a client may know of the server; users, passwords and
    // connection strings stay private.
    return {
        QStringLiteral("Greeting=") + QString::fromUtf8(config.greeting),
        QStringLiteral("CodePage=") + QString::fromLatin1(config.codePage),
        QStringLiteral("DateFormat=") + config.dateFormat,
        QStringLiteral("TimeFormat=") + config.timeFormat,
        QStringLiteral("MaxConnections=%1").arg(config.maxConnections),
        QStringLiteral("MaxLineLength=%1").arg(config.maxLineLength),
        QStringLiteral("MaxResultBytes=%1").arg(config.maxResultBytes),
        config.allowSetConfig ? QStringLiteral("AllowSetConfig=true") : QStringLiteral("AllowSetConfig=false"),
    };
}

// "key=value" with a key of at least one character and no blanks or
// control characters.
bool isSettingLine(QByteArrayView line)
{
    const qsizetype equals = line.indexOf('=');
    if (equals <= 0)
        return false;
    for (qsizetype i = 0; i < equals; ++i) {
        if (static_cast<unsigned char>(line[i]) <= ' ')
            return false;
    }
    return true;
}

} // namespace

void Session::system(const QByteArray& argument)
{
    const SysRequest request = parseSysRequest(argument);
    const QString text = m_context.codec().decode(request.argument);
    const QByteArray& name = request.name;
    if (name == "getconfig") {
        writeLineList(configLines(m_context.config()));
    } else if (name == "setconfig") {
        setConfig();
    } else if (name == "datasourcenames" || name == "databasenames") {
        writeLineList(m_context.catalog().names());
    } else if (name == "tablenames") {
        writeLineList(tableNames(request.argument));
    } else if (name == "indexnames") {
        writeLineList(database().indexNames(text));
    } else if (name == "indexfields") {
        const qsizetype semicolon = text.indexOf(u';');
        if (semicolon < 0)
            throw Failure{501, QStringLiteral("Expected table;index")};
        writeLineList(database().indexFields(text.first(semicolon).trimmed(), text.sliced(semicolon + 1).trimmed()));
    } else if (name == "defaultindexfields") {
        writeLineList(database().defaultIndexFields(text));
    } else if (name == "customdata") {
        writeLineList(m_context.customData());
    } else {
        throw Failure{501, QStringLiteral("Unknown system request: ") + QString::fromLatin1(printable(name))};
    }
}

QStringList Session::tableNames(const QByteArray& argument)
{
    const QString name = m_context.codec().decode(argument);
    if (name.isEmpty() || (m_db && m_db->definition().name.compare(name, Qt::CaseInsensitive) == 0))
        return database().tableNames();
    if (m_context.checksLogins() && !m_loggedIn)
        throw Failure{530, QStringLiteral("Not logged in")};
    const auto definition = m_context.catalog().find(name);
    if (!definition)
        throw Failure{550, QStringLiteral("Unknown database: ") + QString::fromLatin1(printable(argument))};
    try {
        const DatabaseConnection other(*definition, m_user, m_password);
        return other.tableNames();
    } catch (const Exception& error) {
        throw Failure{550, QStringLiteral("Cannot open database %1: %2").arg(definition->name, error.message())};
    }
}

void Session::writeLineList(const QStringList& lines)
{
    reply(200, "OK");
    for (const QString& line : lines) {
        QByteArray bytes = m_context.codec().encode(line);
        for (char& c : bytes) {
            if (static_cast<unsigned char>(c) < 32)
                c = ' ';
        }
        if (bytes == ".")
            continue; // would end the list early; no name is worth that
        m_out.append(bytes).append("\r\n");
    }
    m_out.append(".\r\n");
}

void Session::setConfig()
{
    if (!m_context.config().allowSetConfig)
        throw Failure{550, QStringLiteral("Changing the configuration is not allowed on this server")};
    // The custom data is shared by every client of the server: on a server
    // with users only a connection that logged in may change it.
    if (m_context.checksLogins() && !m_loggedIn)
        throw Failure{530, QStringLiteral("Not logged in")};
    // The client sends its lines once it has the reply and then goes on with
    // its next command without a terminator; a "." line ends them as well.
    // Setting lines are "key=value" with a key without blanks, which no
    // command line is (a command word is followed by a blank before any "="),
    // so the first other line is kept as the next command.
    reply(200, "OK");
    if (!m_channel.send(m_out)) {
        m_ending = true;
        return;
    }
    m_out.clear();
    QStringList lines;
    while (true) {
        QByteArray line;
        const LineChannel::Read read = m_channel.readLine(line);
        if (read == LineChannel::Read::Closed || read == LineChannel::Read::Overflow) {
            m_ending = true;
            return;
        }
        if (read != LineChannel::Read::Line)
            continue;
        if (line == ".")
            break;
        if (!isSettingLine(line)) {
            m_pendingLine = std::move(line);
            break;
        }
        lines.append(m_context.codec().decode(line));
    }
    m_context.updateCustomData(lines);
    log(QStringLiteral("custom data changed (%1 lines)").arg(lines.size()));
}

} // namespace lystra
