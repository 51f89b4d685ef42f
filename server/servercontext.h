#pragma once

#include "server/databasecatalog.h"
#include "server/serverconfig.h"
#include "server/valueformatter.h"

#include "platform/hostcodec.h"

#include <QStringList>

#include <mutex>

namespace lystra {

// What every connection of one server shares: the configuration, the wire
// code page and value formats, the databases it may reach and the custom
// data lines. Built once at start-up; the only mutable part, the custom data,
// is locked.
class ServerContext {
public:
    // Throws lystra::Exception when the configuration is invalid.
    explicit ServerContext(ServerConfig config);

    const ServerConfig& config() const { return m_config; }
    const HostCodec& codec() const { return m_codec; }
    const ValueFormatter& formatter() const { return m_formatter; }
    const DatabaseCatalog& catalog() const { return m_catalog; }

    // True when users are configured and `user` / `password` is not one of
    // them; user names match without regard to case, passwords exactly.
    bool refusesLogin(const QString& user, const QString& password) const;
    bool checksLogins() const { return !m_config.users.isEmpty(); }

    QStringList customData() const;
    // Lines "key=value" replace the entry of the same key or are appended;
    // lines without "=" are ignored.
    void updateCustomData(const QStringList& lines);

private:
    static FormatSettings wireFormats(const ServerConfig& config);

    ServerConfig m_config;
    HostCodec m_codec;
    ValueFormatter m_formatter;
    DatabaseCatalog m_catalog;
    mutable std::mutex m_customMutex;
    QStringList m_customData;
};

} // namespace lystra
