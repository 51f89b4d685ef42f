#pragma once

#include "server/serverconfig.h"

#include <QStringList>

#include <optional>

namespace lystra {

// The databases a connection may reach: those the configuration names and
// the embedded databases of the data folder (file NAME.sqlite opens as
// NAME). Names match without regard to case. A name is only ever looked up
// among these, never turned into a path, so no name reaches a file outside
// the data folder. Thread-safe (it reads the folder on every call).
class DatabaseCatalog {
public:
    explicit DatabaseCatalog(const ServerConfig& config);

    std::optional<DatabaseDefinition> find(QStringView name) const;
    // Every name, configured ones first, each once, in a stable order.
    QStringList names() const;

private:
    QList<DatabaseDefinition> folderDatabases() const;

    QList<DatabaseDefinition> m_configured;
    QString m_dataDir;
};

} // namespace lystra
