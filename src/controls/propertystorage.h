#pragma once

#include "platform/inifile.h"
#include "platform/settingsstore.h"

#include <QString>

#include <memory>
#include <optional>

namespace lystra {

// Where a property saver keeps values while its storage is open: a registry
// key (the settings store) or an INI file. Keys are "\"-separated paths below
// the registry base key, or section names of the INI file; values are text.
class PropertyStorage {
public:
    PropertyStorage(const QString& registryPath, SettingsStore::Scope scope);
    explicit PropertyStorage(const QString& iniFileName);

    // The stored text; nullopt when the key or value is absent or holds no
    // text.
    std::optional<QString> read(const QString& key, const QString& name) const;
    void write(const QString& key, const QString& name, const QString& value);

    // The registry store; null for INI storage, which knows no key
    // operations.
    SettingsStore* registry() { return m_registry.get(); }

    // Writes what was changed; throws lystra::Exception when that fails.
    void commit();

private:
    std::unique_ptr<SettingsStore> m_registry;
    std::unique_ptr<IniFile> m_ini;
};

} // namespace lystra
