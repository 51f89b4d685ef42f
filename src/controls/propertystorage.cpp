#include "controls/propertystorage.h"

namespace lystra {

PropertyStorage::PropertyStorage(const QString& registryPath, SettingsStore::Scope scope)
    : m_registry(std::make_unique<SettingsStore>(registryPath, scope))
{}

PropertyStorage::PropertyStorage(const QString& iniFileName)
    : m_ini(std::make_unique<IniFile>(iniFileName))
{}

std::optional<QString> PropertyStorage::read(const QString& key, const QString& name) const
{
    if (m_registry)
        return m_registry->readString(key, name);
    if (!m_ini->valueExists(key, name))
        return std::nullopt;
    return m_ini->readString(key, name, QString());
}

void PropertyStorage::write(const QString& key, const QString& name, const QString& value)
{
    if (m_registry)
        m_registry->writeString(key, name, value);
    else
        m_ini->writeString(key, name, value);
}

void PropertyStorage::commit()
{
    if (m_registry)
        m_registry->sync();
    else
        m_ini->save();
}

} // namespace lystra
