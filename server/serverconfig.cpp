#include "server/serverconfig.h"

#include "platform/exception.h"
#include "platform/hostcodec.h"
#include "platform/inifile.h"

#include <QDir>
#include <QFileInfo>

namespace lystra {

namespace {

[[noreturn]] void invalid(const QString& key, const QString& value)
{
    throw Exception(QStringLiteral("Invalid value for %1: \"%2\"").arg(key, value));
}

qlonglong positiveNumber(const QString& key, const QString& value, qlonglong max)
{
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < 1 || number > max)
        invalid(key, value);
    return number;
}

bool boolValue(const QString& key, const QString& value)
{
    const QString lower = value.toLower();
    if (lower == u"1" || lower == u"true" || lower == u"yes" || lower == u"on")
        return true;
    if (lower == u"0" || lower == u"false" || lower == u"no" || lower == u"off")
        return false;
    invalid(key, value);
}

DatabaseDefinition databaseDefinition(const QString& name, const QString& value, const QString& baseDir)
{
    DatabaseDefinition db;
    db.name = name;
    const auto prefixed = [&value](const char* prefix) {
        return value.startsWith(QLatin1StringView(prefix), Qt::CaseInsensitive);
    };
    if (prefixed("sqlite:")) {
        db.kind = DatabaseDefinition::Kind::Sqlite;
        db.target = QDir(baseDir).absoluteFilePath(value.sliced(7).trimmed());
    } else if (prefixed("odbc-native:")) {
        db.kind = DatabaseDefinition::Kind::Odbc;
        db.target = value.sliced(12).trimmed();
        db.adaptHostSql = false;
    } else {
        db.kind = DatabaseDefinition::Kind::Odbc;
        db.target = prefixed("odbc:") ? value.sliced(5).trimmed() : value;
    }
    if (db.name.isEmpty() || db.name.contains(u' ') || db.target.isEmpty())
        invalid(QStringLiteral("Databases/") + db.name, value);
    return db;
}

} // namespace

void applyListenAddress(ServerConfig& config, const QString& text)
{
    QString host = QStringLiteral("127.0.0.1");
    QString port = text.trimmed();
    const qsizetype colon = port.lastIndexOf(u':');
    if (colon >= 0) {
        host = port.first(colon);
        port = port.sliced(colon + 1);
        if (host.startsWith(u'[') && host.endsWith(u']'))
            host = host.mid(1, host.size() - 2);
    }
    bool ok = false;
    const uint number = port.toUInt(&ok);
    if (!ok || number > 65535 || host.isEmpty())
        invalid(QStringLiteral("listen address"), text);
    config.listenHost = host;
    config.listenPort = quint16(number);
}

void applyIniFile(ServerConfig& config, const IniFile& ini, const QString& baseDir)
{
    const QString server = QStringLiteral("Server");
    for (const QString& key : ini.keys(server)) {
        const QString lower = key.toLower();
        const QString value = ini.readString(server, key, QString());
        const QString name = QStringLiteral("Server/") + key;
        if (lower == u"listen")
            applyListenAddress(config, value);
        else if (lower == u"data")
            config.dataDir = QDir(baseDir).absoluteFilePath(value);
        else if (lower == u"maxconnections")
            config.maxConnections = int(positiveNumber(name, value, 100000));
        else if (lower == u"maxlinelength")
            config.maxLineLength = positiveNumber(name, value, 1ll << 34);
        else if (lower == u"maxresultbytes")
            config.maxResultBytes = positiveNumber(name, value, 1ll << 31);
        else if (lower == u"greeting")
            config.greeting = value.toUtf8();
        else if (lower == u"codepage")
            config.codePage = value.toLatin1();
        else if (lower == u"dateformat")
            config.dateFormat = value;
        else if (lower == u"timeformat")
            config.timeFormat = value;
        else if (lower == u"allowsetconfig")
            config.allowSetConfig = boolValue(name, value);
        else
            throw Exception(QStringLiteral("Unknown setting Server/%1").arg(key));
    }
    const QString users = QStringLiteral("Users");
    for (const QString& key : ini.keys(users))
        config.users.append(UserAccount{key, ini.readString(users, key, QString())});
    const QString databases = QStringLiteral("Databases");
    for (const QString& key : ini.keys(databases))
        config.databases.append(databaseDefinition(key, ini.readString(databases, key, QString()), baseDir));
    const QString custom = QStringLiteral("CustomData");
    for (const QString& key : ini.keys(custom))
        config.customData.append(key + u'=' + ini.readString(custom, key, QString()));
}

void loadConfigFile(ServerConfig& config, const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable())
        throw Exception(QStringLiteral("Cannot read the configuration file %1").arg(path));
    applyIniFile(config, IniFile(file.absoluteFilePath()), file.absolutePath());
}

void validate(const ServerConfig& config)
{
    if (config.greeting.isEmpty() || config.greeting.contains('\n') || config.greeting.contains('\r'))
        invalid(QStringLiteral("greeting"), QString::fromUtf8(config.greeting));
    if (config.dateFormat.isEmpty())
        invalid(QStringLiteral("DateFormat"), config.dateFormat);
    if (config.timeFormat.isEmpty())
        invalid(QStringLiteral("TimeFormat"), config.timeFormat);
    HostCodec codec(config.codePage); // throws for an unknown or multi-byte code page
    if (config.maxConnections < 1)
        invalid(QStringLiteral("max-connections"), QString::number(config.maxConnections));
    if (config.maxLineLength < 1)
        invalid(QStringLiteral("MaxLineLength"), QString::number(config.maxLineLength));
}

} // namespace lystra
