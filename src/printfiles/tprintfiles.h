#pragma once

#include "printfiles/printfilestore.h"
#include "printfiles/tprintfile.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDate>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace lystra {

class TcsCustomDatabase;
class TcsDatabase;
class TcsQuery;
class TDatabaseManager;

// The print queue of one host user: the user's rows of the print file table
// ("CATALOG"), kept as TPrintFile objects newest first (FDATE, then FTIME
// descending), the users that have print files, deleting print files, and a
// notification when the list changed.
//
// Every statement runs on one TcsQuery, created with the queue and bound to
// the database given at creation. The queue is used on one thread only; its
// owner keeps the query from being used for two statements at once (a page
// read while a listing is open, for instance).
//
// Text from outside never changes a statement: the user profile, identities
// and the identity prefix enter SQL only as quoted string literals, the date
// filter only as "FDATE<=" followed by eight digits, and a user profile or
// archive library that cannot be a table name is refused with an error before
// any SQL runs. Host text (user, identities, list lines) is 8-bit QByteArray
// in the host code page.
class TPrintFiles : public TPrintFileStore {
public:
    // Called with the queue when its list changed (see Refresh and Delete).
    using TChangeEvent = std::function<void(TPrintFiles&)>;
    // Answers whether the program's main window is visible.
    using TVisibleQuery = std::function<bool()>;

    // The host database the queue's tables live in.
    static constexpr const char* kHostDatabaseName = "LYSTRA";

    // A queue whose query runs on `database` (borrowed; it must outlive the
    // queue, and is found by its DataBaseName). `archiveLibrary` is the value
    // of "DB" in the server's custom data (see ArchiveLibraryOf), used only in
    // archive mode. Nothing is sent to the server here.
    explicit TPrintFiles(TcsCustomDatabase& database, QByteArray archiveLibrary = {});
    ~TPrintFiles() override;

    TPrintFiles(const TPrintFiles&) = delete;
    TPrintFiles& operator=(const TPrintFiles&) = delete;

    // The queue of the program: names "LYSTRA" as the host database (kind 0)
    // of `manager`, takes the archive library from the server's custom data
    // (ServerInfo) and binds the query to the manager's connected host
    // database. When the server does not answer, the manager reports it and
    // asks the program to end; the queue is still made and tries to connect
    // again when it is used. The manager must outlive the queue.
    static std::unique_ptr<TPrintFiles> Create(TDatabaseManager& manager);

    // The value of "DB" in the server's custom data list ("sys customdata");
    // empty when it is missing or the request fails.
    static QByteArray ArchiveLibraryOf(TcsDatabase& database);
    // The value of "DB" among custom data lines "key=value"; empty if none.
    static QByteArray ArchiveLibraryIn(const QByteArrayList& customData);

    // ---- state
    // True when the database is connected and User is not empty. When not,
    // opens the database once (errors propagate) and evaluates again.
    bool IsReady();

    // The user profile, upper case; empty until set.
    const QByteArray& User() const { return m_user; }
    // Upper-cases `name` (host text, locale-aware); a new user sets Changed.
    // The name is checked when it is used as a table name, not here.
    void SetUser(QByteArrayView name);

    // Whether the next load replaces the list and notifies even when the
    // count did not change. True at creation and after a new user; the owner
    // clears it after it has shown the list.
    bool Changed() const { return m_changed; }
    void SetChanged(bool changed) { m_changed = changed; }

    bool NotifyEnabled() const { return m_notifyEnabled; }
    // Switches notification on or off, then notifies (so switching on
    // notifies at once).
    void SetNotify(bool on);

    // "" or "FDATE<=" followed by eight digits yyyymmdd; applied to the file
    // list and the user list.
    const QByteArray& DateFilter() const { return m_dateFilter; }
    // Raises lystra::Exception for any other text (after trimming).
    void SetDateFilter(QByteArrayView condition);
    // The date filter for the files up to and including `date`; an invalid
    // date gives "" (no filter).
    static QByteArray DateFilterUpTo(const QDate& date);

    // Archive mode: the tables of one year of the archive library.
    bool ArchiveMode() const { return m_archiveMode; }
    void SetArchiveMode(bool on) { m_archiveMode = on; }
    // "YYYY" or "YYYYMMDD"; its third and fourth characters name the tables.
    const QByteArray& ArchiveYear() const { return m_archiveYear; }
    void SetArchiveYear(QByteArrayView year) { m_archiveYear = year.toByteArray(); }
    const QByteArray& ArchiveLibrary() const { return m_archiveLibrary; }
    // When not blank, the list holds the files with identities from prefix +
    // "0000" to prefix + "9999", of every user and date.
    const QByteArray& IdPrefix() const { return m_idPrefix; }
    void SetIdPrefix(QByteArrayView prefix) { m_idPrefix = prefix.toByteArray(); }

    // ---- the list
    // Whether a load has filled the list once.
    bool Loaded() const { return m_files != nullptr; }
    // 0 when not ready; loads (Refresh) when never loaded; the number of files.
    int Count();
    // The i-th file (0-based); nullptr when not ready or out of range; loads
    // when never loaded. The queue owns the file: a refresh that replaces the
    // list or a delete frees it.
    TPrintFile* Item(int i);
    // Index of the first file whose Id equals `id` exactly; -1 when not ready,
    // not loaded or not found.
    int IndexOfId(QByteArrayView id);

    // Reads the list; on an error waits RetryDelayMs and reads again. An error
    // of the second read is passed on only when IsMainWindowVisible answers
    // true (or is not set); a hidden program stays silent. The list is
    // replaced, and OnChange called, only when the number of files changed or
    // Changed is set; otherwise the old objects stay.
    void Refresh();
    // Deletes the file's page rows and its catalog row (two statements, each
    // run on its own), then removes it from the list (freeing it) and
    // notifies. Nothing happens unless ready and `file` is given. An error
    // propagates and leaves the file in the list.
    void Delete(TPrintFile* file);
    // Fills `list` with one line per user that has print files (within the
    // date filter): the count, zero-padded to 3 digits, then " -", cut or
    // padded to 6 characters, then the user ("005 - ANNA", "1234 -ANNA").
    // Ordered by user when `byName`, else by count descending. Returns the
    // number of users.
    int ListUsers(QByteArrayList& list, bool byName);

    TChangeEvent OnChange;
    TVisibleQuery IsMainWindowVisible;
    // The wait before Refresh reads again after an error [1000].
    int RetryDelayMs = 1000;
    // What Refresh does between its two reads; unset: it sleeps RetryDelayMs.
    std::function<void(int delayMs)> RetryWait;

    // ---- SQL texts (what the operations above run)
    QByteArray SelectText() const;
    QByteArray ListUsersText(bool byName) const;
    QByteArrayList DeleteTexts(const TPrintFile& file) const;

    // ---- TPrintFileStore
    // "CATALOG", or in archive mode library + two-digit year + ".ARKCAT".
    QByteArray CatalogTable() const override;
    // User, or in archive mode library + two-digit year + ".ARKSPF". Raises
    // when the user cannot be a table name, and in archive mode when the year
    // is missing ("Archive year missing!\r\nParameter SplDate needed. [YYYY]
    // or [YYYYMMDD]") or the library or year cannot be part of a table name.
    QByteArray SpoolTable() const override;
    bool IsArchive() const override { return m_archiveMode; }
    void Select(const QByteArray& sql, const std::function<void(const TRowValues&)>& row) override;
    void Execute(const QByteArray& sql) override;

    TcsQuery& Query() { return *m_query; }
    TcsCustomDatabase& Database() { return m_database; }

private:
    void Load();
    void Notify();
    void BindQuery();
    QByteArray ArchiveYearDigits() const;

    TcsCustomDatabase& m_database;
    std::unique_ptr<TcsQuery> m_query;
    std::unique_ptr<std::vector<std::unique_ptr<TPrintFile>>> m_files;
    QByteArray m_user;
    QByteArray m_dateFilter;
    QByteArray m_archiveYear;
    QByteArray m_idPrefix;
    QByteArray m_archiveLibrary;
    bool m_archiveMode = false;
    bool m_changed = true;
    bool m_notifyEnabled = true;
};

} // namespace lystra
