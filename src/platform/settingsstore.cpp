#include "platform/settingsstore.h"

#include "platform/exception.h"

#include <QSettings>

#include <algorithm>
#include <limits>

namespace lystra {

namespace {

constexpr QChar kKeySeparator = u'\\';

QStringList splitPath(const QString& path)
{
    return path.split(kKeySeparator, Qt::SkipEmptyParts);
}

// QSettings takes both "/" and "\" as group separators, so a name holding
// either is stored percent-encoded; "%" itself is encoded so that decoding
// gives back exactly what was encoded.
QString encodeName(const QString& name)
{
    QString encoded;
    encoded.reserve(name.size());
    for (QChar c : name) {
        if (c == u'%')
            encoded += QStringLiteral("%25");
        else if (c == u'/')
            encoded += QStringLiteral("%2F");
        else if (c == u'\\')
            encoded += QStringLiteral("%5C");
        else
            encoded += c;
    }
    return encoded;
}

QString decodeName(const QString& stored)
{
    QString name;
    name.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QStringView next =
            QStringView(stored).sliced(i, std::min<qsizetype>(3, stored.size() - i));
        if (next.compare(u"%25", Qt::CaseInsensitive) == 0) {
            name += u'%';
            i += 2;
        } else if (next.compare(u"%2F", Qt::CaseInsensitive) == 0) {
            name += u'/';
            i += 2;
        } else if (next.compare(u"%5C", Qt::CaseInsensitive) == 0) {
            name += u'\\';
            i += 2;
        } else {
            name += stored.at(i);
        }
    }
    return name;
}

QString joinGroup(const QString& group, const QString& name)
{
    return group.isEmpty() ? name : group + u'/' + name;
}

// The stored spelling of `name` among `stored` (encoded names), compared
// without regard to case as the registry does; empty when none matches.
QString findStored(const QStringList& stored, const QString& name)
{
    for (const QString& candidate : stored) {
        if (decodeName(candidate).compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return {};
}

QStringList decodedSorted(const QStringList& stored)
{
    QStringList names;
    names.reserve(stored.size());
    for (const QString& s : stored)
        names.append(decodeName(s));
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

std::unique_ptr<QSettings> openNative(const QStringList& path, SettingsStore::Scope scope,
                                      QString& baseGroup)
{
    const QSettings::Scope qtScope =
        scope == SettingsStore::Scope::User ? QSettings::UserScope : QSettings::SystemScope;
#ifdef Q_OS_WIN
    Q_UNUSED(qtScope);
    const QString root = scope == SettingsStore::Scope::User ? QStringLiteral("HKEY_CURRENT_USER")
                                                             : QStringLiteral("HKEY_LOCAL_MACHINE");
    baseGroup.clear();
    return std::make_unique<QSettings>(root + kKeySeparator + path.join(kKeySeparator),
                                       QSettings::NativeFormat);
#else
    // Qt's own layout: "Software\Company\Family" is the file Company/Family.conf
    // and "Software\Company" the file Company.conf.
    QStringList rest = path.mid(3);
    for (QString& name : rest)
        name = encodeName(name);
    baseGroup = rest.join(u'/');
    return std::make_unique<QSettings>(QSettings::NativeFormat, qtScope, path.at(1), path.value(2));
#endif
}

// Integers are registry numbers on Windows; in an INI file they are text, and
// are handed to QSettings as text so that a value reads back the same before
// and after the file is written.
QVariant nativeInteger(int value)
{
#ifdef Q_OS_WIN
    return value;
#else
    return QString::number(value);
#endif
}

std::optional<qint64> integerOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    case QMetaType::QString: {
        bool ok = false;
        const qint64 n = value.toString().trimmed().toLongLong(&ok);
        return ok ? std::optional<qint64>(n) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

SettingsStore::SettingsStore(const QString& basePath, Scope scope) : m_basePath(basePath)
{
    const QStringList path = splitPath(basePath);
    if (path.size() < 2 || path.first().compare(u"Software", Qt::CaseInsensitive) != 0)
        throw Exception(QStringLiteral("Settings key '%1' is not below Software").arg(basePath));
    m_settings = openNative(path, scope, m_baseGroup);
    m_settings->setFallbacksEnabled(false);
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::applicationPath()
{
    return QStringLiteral("Software\\QUORVIK\\GUI\\Lystra");
}

QString SettingsStore::escapeKeyName(QString text)
{
    return text.replace(kKeySeparator, u'@');
}

QString SettingsStore::location() const
{
    return m_settings->fileName();
}

QStringList SettingsStore::childGroups(const QString& group) const
{
    m_settings->beginGroup(group);
    QStringList groups = m_settings->childGroups();
    m_settings->endGroup();
    return groups;
}

QStringList SettingsStore::childKeys(const QString& group) const
{
    m_settings->beginGroup(group);
    QStringList keys = m_settings->childKeys();
    m_settings->endGroup();
    return keys;
}

std::optional<QString> SettingsStore::existingGroup(const QString& key) const
{
    QString current = m_baseGroup;
    for (const QString& name : splitPath(key)) {
        const QString stored = findStored(childGroups(current), name);
        if (stored.isEmpty())
            return std::nullopt;
        current = joinGroup(current, stored);
    }
    return current;
}

QString SettingsStore::group(const QString& key) const
{
    QString current = m_baseGroup;
    bool exists = true;
    for (const QString& name : splitPath(key)) {
        // Below the first missing name nothing can match.
        QString stored = exists ? findStored(childGroups(current), name) : QString();
        if (stored.isEmpty()) {
            exists = false;
            stored = encodeName(name);
        }
        current = joinGroup(current, stored);
    }
    return current;
}

QString SettingsStore::valueKey(const QString& key, const QString& name) const
{
    const QString g = group(key);
    QString stored = findStored(childKeys(g), name);
    if (stored.isEmpty())
        stored = encodeName(name);
    return joinGroup(g, stored);
}

bool SettingsStore::keyExists(const QString& key) const
{
    const auto g = existingGroup(key);
    return g && (!childKeys(*g).isEmpty() || !childGroups(*g).isEmpty());
}

QStringList SettingsStore::subKeyNames(const QString& key) const
{
    const auto g = existingGroup(key);
    return g ? decodedSorted(childGroups(*g)) : QStringList();
}

QStringList SettingsStore::valueNames(const QString& key) const
{
    const auto g = existingGroup(key);
    return g ? decodedSorted(childKeys(*g)) : QStringList();
}

bool SettingsStore::valueExists(const QString& key, const QString& name) const
{
    const auto g = existingGroup(key);
    return g && !findStored(childKeys(*g), name).isEmpty();
}

std::optional<QString> SettingsStore::readString(const QString& key, const QString& name) const
{
    if (!valueExists(key, name))
        return std::nullopt;
    const QVariant value = m_settings->value(valueKey(key, name));
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

QString SettingsStore::readString(const QString& key, const QString& name,
                                  const QString& fallback) const
{
    return readString(key, name).value_or(fallback);
}

int SettingsStore::readInteger(const QString& key, const QString& name, int fallback) const
{
    if (!valueExists(key, name))
        return fallback;
    const auto n = integerOf(m_settings->value(valueKey(key, name)));
    if (!n || *n < std::numeric_limits<int>::min() || *n > std::numeric_limits<int>::max())
        return fallback;
    return static_cast<int>(*n);
}

bool SettingsStore::readBool(const QString& key, const QString& name, bool fallback) const
{
    if (!valueExists(key, name))
        return fallback;
    const QVariant value = m_settings->value(valueKey(key, name));
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.compare(u"true", Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(u"false", Qt::CaseInsensitive) == 0)
            return false;
    }
    const auto n = integerOf(value);
    return n ? *n != 0 : fallback;
}

void SettingsStore::writeString(const QString& key, const QString& name, const QString& value)
{
    m_settings->setValue(valueKey(key, name), value);
}

void SettingsStore::writeInteger(const QString& key, const QString& name, int value)
{
    m_settings->setValue(valueKey(key, name), nativeInteger(value));
}

void SettingsStore::writeBool(const QString& key, const QString& name, bool value)
{
    writeInteger(key, name, value ? 1 : 0);
}

void SettingsStore::deleteKey(const QString& key)
{
    const auto g = existingGroup(key);
    if (!g)
        return;
    if (*g == m_baseGroup) {
        m_settings->beginGroup(m_baseGroup);
        m_settings->remove(QString());
        m_settings->endGroup();
        return;
    }
    // QSettings removes a value of the parent key that has the subkey's name
    // together with the subkey; in the registry they are unrelated, so such a
    // value is put back.
    const QVariant sameNamedValue = m_settings->value(*g);
    m_settings->remove(*g);
    if (sameNamedValue.isValid())
        m_settings->setValue(*g, sameNamedValue);
}

void SettingsStore::sync()
{
    m_settings->sync();
    if (m_settings->status() == QSettings::AccessError)
        throw Exception(QStringLiteral("Cannot write the settings to %1").arg(location()));
}

} // namespace lystra
