#include "printfiles/tprintfiles.h"

#include "db/tcsdatabase.h"
#include "db/tdatabasemanager.h"
#include "db/tcsdataset.h"
#include "db/tfield.h"
#include "platform/exception.h"
#include "platform/hostcodec.h"
#include "printfiles/hosttext.h"
#include "printfiles/hourglass.h"
#include "printfiles/sqltext.h"

#include <QLocale>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>

namespace lystra {

namespace {

// The current row of an open query, read by column name as host text.
class QueryRow : public TRowValues {
public:
    explicit QueryRow(const TcsQuery& query) : m_query(query) {}

    QByteArray Value(const char* name) const override
    {
        const TField& field = m_query.FieldByName(QString::fromLatin1(name));
        return field.IsNull() ? QByteArray() : field.AsString();
    }

private:
    const TcsQuery& m_query;
};

// Closes the query on every way out of a SELECT; an error while closing must
// not hide the one that is on its way.
class QueryCloser {
public:
    explicit QueryCloser(TcsQuery& query) : m_query(query) {}
    ~QueryCloser()
    {
        try {
            m_query.Close();
        } catch (...) {
        }
    }
    QueryCloser(const QueryCloser&) = delete;
    QueryCloser& operator=(const QueryCloser&) = delete;

private:
    TcsQuery& m_query;
};

bool isDigits(QByteArrayView text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

const char* const kOrderByCreation = " order by FDATE desc, FTIME desc";

} // namespace

TPrintFiles::TPrintFiles(TcsCustomDatabase& database, QByteArray archiveLibrary)
    : m_database(database), m_query(std::make_unique<TcsQuery>()),
      m_archiveLibrary(TrimHost(archiveLibrary))
{
    // No statement of the queue carries parameters; a ":" inside a quoted
    // value must stay text.
    m_query->SetParamCheck(false);
    m_query->SetDataBaseName(database.DataBaseName());
}

TPrintFiles::~TPrintFiles()
{
    // The files refer to the queue; they go before the query does.
    m_files.reset();
}

std::unique_ptr<TPrintFiles> TPrintFiles::Create(TDatabaseManager& manager)
{
    TDatabaseManager::SetHostDatabaseName(QString::fromLatin1(kHostDatabaseName));
    QByteArrayList customData;
    manager.ServerInfo(customData);
    TcsDatabase* database = manager.ConnectedDatabase(dkHost);
    return std::make_unique<TPrintFiles>(*database, ArchiveLibraryIn(customData));
}

QByteArray TPrintFiles::ArchiveLibraryOf(TcsDatabase& database)
{
    QByteArrayList data;
    if (!database.GetCustomData(data))
        return {};
    return ArchiveLibraryIn(data);
}

QByteArray TPrintFiles::ArchiveLibraryIn(const QByteArrayList& customData)
{
    for (const QByteArray& line : customData) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && TrimHost(line.first(equals)) == "DB")
            return TrimHost(line.sliced(equals + 1));
    }
    return {};
}

bool TPrintFiles::IsReady()
{
    if (m_database.Connected() && !m_user.isEmpty())
        return true;
    if (!m_database.Connected())
        m_database.Open();
    return m_database.Connected() && !m_user.isEmpty();
}

void TPrintFiles::SetUser(QByteArrayView name)
{
    const HostCodec& codec = HostCodec::host();
    const QByteArray upper = codec.encode(QLocale().toUpper(codec.decode(name)));
    if (upper == m_user)
        return;
    m_user = upper;
    m_changed = true;
}

void TPrintFiles::SetNotify(bool on)
{
    m_notifyEnabled = on;
    Notify();
}

void TPrintFiles::Notify()
{
    if (OnChange && m_notifyEnabled)
        OnChange(*this);
}

void TPrintFiles::SetDateFilter(QByteArrayView condition)
{
    static const QRegularExpression form(QStringLiteral("^FDATE<=[0-9]{8}$"));
    const QByteArray text = TrimHost(condition);
    if (!text.isEmpty() && !form.match(QLatin1StringView(text)).hasMatch())
        throw Exception(QStringLiteral("Ogiltigt datumvillkor: \"%1\"")
                            .arg(HostCodec::host().decode(text).simplified()));
    m_dateFilter = text;
}

QByteArray TPrintFiles::DateFilterUpTo(const QDate& date)
{
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return {};
    return "FDATE<=" + date.toString(u"yyyyMMdd").toLatin1();
}

QByteArray TPrintFiles::ArchiveYearDigits() const
{
    if (m_archiveYear.size() < 4)
        throw Exception(
            QStringLiteral("Archive year missing!\r\nParameter SplDate needed. [YYYY] or [YYYYMMDD]"));
    const QByteArray digits = m_archiveYear.sliced(2, 2);
    if (!isDigits(digits))
        throw Exception(QStringLiteral("Ogiltigt arkivår: \"%1\"")
                            .arg(HostCodec::host().decode(m_archiveYear).simplified()));
    if (!IsTableName(m_archiveLibrary))
        throw Exception(QStringLiteral("Arkivbiblioteket \"%1\" kan inte vara ett tabellnamn")
                            .arg(HostCodec::host().decode(m_archiveLibrary)));
    return digits;
}

QByteArray TPrintFiles::CatalogTable() const
{
    if (m_archiveMode)
        return m_archiveLibrary + ArchiveYearDigits() + ".ARKCAT";
    return QByteArrayLiteral("CATALOG");
}

QByteArray TPrintFiles::SpoolTable() const
{
    if (m_archiveMode)
        return m_archiveLibrary + ArchiveYearDigits() + ".ARKSPF";
    return CheckedUserTable(m_user);
}

QByteArray TPrintFiles::SelectText() const
{
    const QByteArray catalog = CatalogTable();
    const QByteArray prefix = TrimHost(m_idPrefix);
    if (!prefix.isEmpty())
        return "select * from " + catalog + " where (FID between " + SqlString(QByteArray(prefix + "0000")) +
               " and " + SqlString(QByteArray(prefix + "9999")) + ")" + kOrderByCreation;
    // The page rows of these files lie in the user's own table: a user that
    // cannot name one is refused before anything is asked of the server.
    const QByteArray user = CheckedUserTable(m_user);
    QByteArray sql = "select * from " + catalog + " where UPPER(\"USER\")=" + SqlString(user);
    if (!m_dateFilter.isEmpty())
        sql += " and " + m_dateFilter;
    return sql + kOrderByCreation;
}

QByteArray TPrintFiles::ListUsersText(bool byName) const
{
    const QByteArray order = byName ? "order by \"USER\"" : "order by \"COUNT\" desc";
    QByteArray sql = "select distinct \"USER\", count(*) \"COUNT\" from " + CatalogTable();
    if (!m_dateFilter.isEmpty())
        sql += " where " + m_dateFilter;
    return sql + " group by \"USER\" " + order;
}

QByteArrayList TPrintFiles::DeleteTexts(const TPrintFile& file) const
{
    const QByteArray spool = SpoolTable();
    const QByteArray catalog = CatalogTable();
    const QByteArray id = SqlString(file.Id());
    if (m_archiveMode) {
        const QByteArray date = file.CreatedDateDigits();
        return {"delete from " + spool + " where FID=" + id + " and FDATE=" + date + " with NC",
                "delete from " + catalog + " where FID=" + id + " and FDATE=" + date + " with NC"};
    }
    return {"delete from " + spool + " where FID=" + id + " with NC",
            "delete from " + catalog + " where \"USER\"=" + SqlString(m_user) + " and FID=" + id +
                " with NC"};
}

void TPrintFiles::BindQuery()
{
    // Datasets find their database by name; follow the database if it was
    // named (or renamed) after the queue was made.
    if (m_query->DataBaseName() != m_database.DataBaseName())
        m_query->SetDataBaseName(m_database.DataBaseName());
    m_query->Close();
}

void TPrintFiles::Select(const QByteArray& sql, const std::function<void(const TRowValues&)>& row)
{
    BindQuery();
    m_query->SetSQLText(sql);
    QueryCloser closer(*m_query);
    m_query->Open();
    const QueryRow values(*m_query);
    while (!m_query->Eof()) {
        row(values);
        m_query->Next();
    }
}

void TPrintFiles::Execute(const QByteArray& sql)
{
    BindQuery();
    m_query->SetSQLText(sql);
    m_query->ExecSQL();
}

void TPrintFiles::Load()
{
    if (!IsReady())
        return;
    if (!m_files)
        m_files = std::make_unique<std::vector<std::unique_ptr<TPrintFile>>>();
    HourglassCursor hourglass;
    std::vector<std::unique_ptr<TPrintFile>> fresh;
    Select(SelectText(), [this, &fresh](const TRowValues& row) {
        fresh.push_back(std::make_unique<TPrintFile>(this, row));
    });
    // Only the count is compared: polling an unchanged queue costs one SELECT
    // and leaves the objects (with their pages and table state) alone.
    if (fresh.empty()) {
        if (!m_files->empty() || m_changed) {
            m_files->clear();
            Notify();
        }
        return;
    }
    if (fresh.size() != m_files->size() || m_changed) {
        *m_files = std::move(fresh);
        Notify();
    }
}

void TPrintFiles::Refresh()
{
    try {
        Load();
        return;
    } catch (...) {
    }
    if (RetryWait)
        RetryWait(RetryDelayMs);
    else if (RetryDelayMs > 0)
        QThread::msleep(static_cast<unsigned long>(RetryDelayMs));
    try {
        Load();
    } catch (...) {
        if (!IsMainWindowVisible || IsMainWindowVisible())
            throw;
    }
}

int TPrintFiles::Count()
{
    if (!IsReady())
        return 0;
    if (!m_files)
        Refresh();
    return m_files ? static_cast<int>(m_files->size()) : 0;
}

TPrintFile* TPrintFiles::Item(int i)
{
    if (!IsReady())
        return nullptr;
    if (!m_files)
        Refresh();
    if (!m_files || i < 0 || i >= static_cast<int>(m_files->size()))
        return nullptr;
    return (*m_files)[static_cast<std::size_t>(i)].get();
}

int TPrintFiles::IndexOfId(QByteArrayView id)
{
    if (!IsReady() || !m_files)
        return -1;
    for (std::size_t i = 0; i < m_files->size(); ++i) {
        if ((*m_files)[i]->Id() == id)
            return static_cast<int>(i);
    }
    return -1;
}

void TPrintFiles::Delete(TPrintFile* file)
{
    if (!file || !IsReady())
        return;
    {
        HourglassCursor hourglass;
        for (const QByteArray& sql : DeleteTexts(*file))
            Execute(sql);
    }
    if (m_files) {
        const auto it = std::find_if(m_files->begin(), m_files->end(),
                                     [file](const auto& item) { return item.get() == file; });
        if (it != m_files->end())
            m_files->erase(it);
    }
    Notify();
}

int TPrintFiles::ListUsers(QByteArrayList& list, bool byName)
{
    list.clear();
    const QByteArray sql = ListUsersText(byName);
    Select(sql, [&list](const TRowValues& row) {
        QByteArray count = TrimHost(row.Value("COUNT"));
        if (count.size() < 3)
            count.prepend(QByteArray(3 - count.size(), '0'));
        const QByteArray line = QByteArray(count + " -").leftJustified(6, ' ', true);
        list.append(line + TrimHost(row.Value("USER")));
    });
    return static_cast<int>(list.size());
}

} // namespace lystra
