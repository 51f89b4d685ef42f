#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QSettings;

namespace lystra {

// The program's "registry": nested keys holding named values, kept in Qt's
// native settings (the registry on Windows; on other systems an INI file under
// the configuration folder, XDG_CONFIG_HOME or ~/.config, or below
// QSettings::setPath(NativeFormat, ...) when set).
//
// A store is opened on a base key, a path below the root of its scope whose
// first name is "Software", such as "Software\QUORVIK\GUI\Lystra". On Windows
// that is the key HKEY_CURRENT_USER\Software\QUORVIK\GUI\Lystra; elsewhere the
// first two names below "Software" choose the file ("QUORVIK/GUI.conf") and
// the rest is a group in it; a base key with one name below "Software" uses
// the file "QUORVIK.conf".
//
// Key paths given to the operations are relative to the base key, with "\"
// between the names ("PrintFilesForm\edtTop"); an empty path is the base key
// itself, empty names are skipped (so a leading "\" changes nothing). Key and
// value names compare without regard to case, as in the registry; a name that
// exists keeps the spelling it was created with. Any character but "\" may
// appear in a key name; escapeKeyName() makes any text one key name.
//
// Keys exist while they hold values or subkeys; nothing is created until a
// value is written. Reads never fail: an absent key or value, or a value of
// another type, gives the fallback. Writes are kept in memory and written to
// the storage by sync() or by the destructor.
class SettingsStore {
public:
    enum class Scope {
        User,    // the current user's root (HKEY_CURRENT_USER)
        Machine, // the machine's root (HKEY_LOCAL_MACHINE; /etc/xdg elsewhere)
    };

    // Throws lystra::Exception when basePath does not begin with "Software"
    // followed by at least one more name.
    explicit SettingsStore(const QString& basePath, Scope scope = Scope::User);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The application's own key: company "QUORVIK", family "GUI", application
    // "Lystra".
    static QString applicationPath();

    // The text as one key name: every "\" becomes "@" (so the network printer
    // "\\srv\hp" is the key "@@srv@hp"). Not reversible.
    static QString escapeKeyName(QString text);

    QString basePath() const { return m_basePath; }
    // Where the values live: a file name, or the registry path on Windows.
    QString location() const;

    bool keyExists(const QString& key) const;
    // Names of the direct subkeys, sorted without regard to case; empty when
    // the key does not exist.
    QStringList subKeyNames(const QString& key) const;
    // Names of the key's values, sorted without regard to case.
    QStringList valueNames(const QString& key) const;
    bool valueExists(const QString& key, const QString& name) const;

    // The text of a value; nullopt when it is absent or holds no text.
    std::optional<QString> readString(const QString& key, const QString& name) const;
    QString readString(const QString& key, const QString& name, const QString& fallback) const;
    // An integer value, or text holding a decimal integer; else the fallback.
    int readInteger(const QString& key, const QString& name, int fallback) const;
    // An integer value (non-zero is true), or the text "true" or "false" in
    // any case, or a decimal integer; else the fallback.
    bool readBool(const QString& key, const QString& name, bool fallback) const;

    // Each write creates the key when it is missing.
    void writeString(const QString& key, const QString& name, const QString& value);
    void writeInteger(const QString& key, const QString& name, int value);
    void writeBool(const QString& key, const QString& name, bool value); // as the integer 1 or 0

    // Deletes the key with all its values and subkeys; nothing when it does
    // not exist. An empty path empties the base key.
    void deleteKey(const QString& key);

    // Writes pending changes and takes in changes made by other processes.
    // Throws lystra::Exception when the storage cannot be written.
    void sync();

private:
    std::optional<QString> existingGroup(const QString& key) const;
    QString group(const QString& key) const;
    QString valueKey(const QString& key, const QString& name) const;
    QStringList childGroups(const QString& group) const;
    QStringList childKeys(const QString& group) const;

    QString m_basePath;
    QString m_baseGroup; // QSettings group of the base key, "" for the top
    std::unique_ptr<QSettings> m_settings;
};

} // namespace lystra
