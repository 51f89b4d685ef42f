#pragma once

#include <QList>
#include <QMutex>
#include <QString>

namespace lystra {

class TcsCustomDatabase;

// The process-wide list of databases by name (names compared without regard
// to case). Every operation holds the list's own lock. Databases enter and
// leave it themselves (TcsCustomDatabase); datasets look their database up
// here.
class TGlobalDatabaseList {
public:
    static TGlobalDatabaseList& Instance();

    TcsCustomDatabase* Find(QStringView name) const;
    int Count() const;
    // Adds the database under `name`; when another database has that name,
    // under the name extended by the decimal number of entries + 1 (or the
    // next free number). Answers the name it was listed under.
    QString AddUnique(const QString& name, TcsCustomDatabase* database);
    // Renames the database's entry (adds it when missing) unless another
    // database has the new name; false when it has.
    bool Rename(TcsCustomDatabase* database, const QString& name);
    void Remove(TcsCustomDatabase* database);

private:
    struct Entry {
        QString name;
        TcsCustomDatabase* database;
    };
    int IndexOf(QStringView name) const;

    mutable QMutex m_mutex;
    QList<Entry> m_entries;
};

} // namespace lystra
