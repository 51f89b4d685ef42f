#include "server/servercontext.h"

#include <algorithm>

namespace lystra {

namespace {

const ServerConfig& validated(const ServerConfig& config)
{
    validate(config);
    return config;
}

// Compares without stopping at the first difference, so the time taken
// tells nothing about how much of a password was right.
bool sameSecret(const QString& a, const QString& b)
{
    const QByteArray x = a.toUtf8();
    const QByteArray y = b.toUtf8();
    if (x.size() != y.size())
        return false;
    unsigned difference = 0;
    for (qsizetype i = 0; i < x.size(); ++i)
        difference |= unsigned(static_cast<unsigned char>(x[i] ^ y[i]));
    return difference == 0;
}

} // namespace

ServerContext::ServerContext(ServerConfig config)
    : m_config(validated(config)),
      m_codec(m_config.codePage),
      m_formatter(m_codec, wireFormats(m_config)),
      m_catalog(m_config),
      m_customData(m_config.customData)
{
}

FormatSettings ServerContext::wireFormats(const ServerConfig& config)
{
    FormatSettings formats = FormatSettings::swedish();
    formats.shortDateFormat = config.dateFormat;
    formats.longTimeFormat = config.timeFormat;
    return formats;
}

bool ServerContext::refusesLogin(const QString& user, const QString& password) const
{
    if (m_config.users.isEmpty())
        return false;
    for (const UserAccount& account : m_config.users) {
        if (account.name.compare(user, Qt::CaseInsensitive) == 0)
            return !sameSecret(password, account.password);
    }
    return true;
}

QStringList ServerContext::customData() const
{
    const std::lock_guard lock(m_customMutex);
    return m_customData;
}

void ServerContext::updateCustomData(const QStringList& lines)
{
    const std::lock_guard lock(m_customMutex);
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString key = line.first(equals + 1);
        const auto existing = std::find_if(m_customData.begin(), m_customData.end(), [&key](const QString& entry) {
            return entry.startsWith(key, Qt::CaseInsensitive);
        });
        if (existing != m_customData.end())
            *existing = line;
        else
            m_customData.append(line);
    }
}

} // namespace lystra
