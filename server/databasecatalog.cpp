#include "server/databasecatalog.h"

#include <QDir>
#include <QFileInfo>

namespace lystra {

namespace {

const QLatin1StringView kSuffix(".sqlite");

bool plausibleName(QStringView name)
{
    if (name.isEmpty() || name.size() > 128 || name.startsWith(u'.'))
        return false;
    for (QChar c : name) {
        if (c == u'/' || c == u'\\' || c.unicode() < 32)
            return false;
    }
    return true;
}

} // namespace

DatabaseCatalog::DatabaseCatalog(const ServerConfig& config)
    : m_configured(config.databases), m_dataDir(config.dataDir)
{
}

QList<DatabaseDefinition> DatabaseCatalog::folderDatabases() const
{
    QList<DatabaseDefinition> found;
    if (m_dataDir.isEmpty())
        return found;
    const QDir dir(m_dataDir);
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& file : files) {
        const QString fileName = file.fileName();
        if (!fileName.endsWith(kSuffix, Qt::CaseInsensitive))
            continue;
        const QString name = fileName.first(fileName.size() - kSuffix.size());
        if (!plausibleName(name))
            continue;
        found.append(DatabaseDefinition{name, DatabaseDefinition::Kind::Sqlite, file.absoluteFilePath(), true});
    }
    return found;
}

std::optional<DatabaseDefinition> DatabaseCatalog::find(QStringView name) const
{
    if (!plausibleName(name))
        return std::nullopt;
    for (const DatabaseDefinition& db : m_configured) {
        if (db.name.compare(name, Qt::CaseInsensitive) == 0)
            return db;
    }
    for (const DatabaseDefinition& db : folderDatabases()) {
        if (db.name.compare(name, Qt::CaseInsensitive) == 0)
            return db;
    }
    return std::nullopt;
}

QStringList DatabaseCatalog::names() const
{
    QStringList names;
    const auto add = [&names](const QString& name) {
        if (!names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    };
    for (const DatabaseDefinition& db : m_configured)
        add(db.name);
    for (const DatabaseDefinition& db : folderDatabases())
        add(db.name);
    return names;
}

} // namespace lystra
