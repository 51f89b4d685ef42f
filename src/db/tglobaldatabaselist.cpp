#include "db/tglobaldatabaselist.h"

namespace lystra {

TGlobalDatabaseList& TGlobalDatabaseList::Instance()
{
    static TGlobalDatabaseList list;
    return list;
}

int TGlobalDatabaseList::IndexOf(QStringView name) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

TcsCustomDatabase* TGlobalDatabaseList::Find(QStringView name) const
{
    QMutexLocker lock(&m_mutex);
    const int i = IndexOf(name);
    return i < 0 ? nullptr : m_entries.at(i).database;
}

int TGlobalDatabaseList::Count() const
{
    QMutexLocker lock(&m_mutex);
    return static_cast<int>(m_entries.size());
}

QString TGlobalDatabaseList::AddUnique(const QString& name, TcsCustomDatabase* database)
{
    QMutexLocker lock(&m_mutex);
    QString listed = name;
    for (qsizetype number = m_entries.size() + 1; IndexOf(listed) >= 0; ++number)
        listed = name + QString::number(number);
    m_entries.append({listed, database});
    return listed;
}

bool TGlobalDatabaseList::Rename(TcsCustomDatabase* database, const QString& name)
{
    QMutexLocker lock(&m_mutex);
    const int taken = IndexOf(name);
    if (taken >= 0 && m_entries.at(taken).database != database)
        return false;
    for (Entry& entry : m_entries) {
        if (entry.database == database) {
            entry.name = name;
            return true;
        }
    }
    m_entries.append({name, database});
    return true;
}

void TGlobalDatabaseList::Remove(TcsCustomDatabase* database)
{
    QMutexLocker lock(&m_mutex);
    m_entries.removeIf([database](const Entry& entry) { return entry.database == database; });
}

} // namespace lystra
