#include "db/tcsdataset.h"

#include "db/fieldbuffer.h"
#include "db/tcscustomsqldriver.h"
#include "db/tcsdatabase.h"
#include "db/tglobaldatabaselist.h"
#include "db/tsqlupdate.h"
#include "platform/screencursor.h"

#include <QtEndian>

#include <cstring>

namespace lystra {

namespace {

constexpr int kBookmarkSize = 4;
// Record number (4 bytes), bookmark flag (1 byte) and one spare byte.
constexpr int kRecordTrailerSize = 6;

} // namespace

// Follows the master dataset of DataSource: when it opens, or moves while
// browsing, an open detail runs its statement again with the new values.
class TcsDataset::MasterLink : public TDataLink {
public:
    explicit MasterLink(TcsDataset& owner)
        : m_owner(owner)
    {
    }

    void DataEvent(TDataEvent event) override
    {
        if (event == deDataSetChange || event == deDataSetScroll)
            m_owner.MasterChanged();
    }

private:
    TcsDataset& m_owner;
};

TcsDataset::TcsDataset()
    : m_masterLink(std::make_unique<MasterLink>(*this))
{
}

TcsDataset::~TcsDataset()
{
    try {
        Close();
    } catch (const std::exception& error) {
        HandleException(error);
    }
    try {
        LetGoOfConnection(true);
    } catch (const std::exception& error) {
        HandleException(error);
    }
    DetachBlobStreams();
    if (m_updateObject != nullptr)
        m_updateObject->SetQuery(nullptr);
    if (m_linkedDatabase != nullptr)
        m_linkedDatabase->RemoveFreeNotification(this);
}

// ---- properties --------------------------------------------------------------

void TcsDataset::SetDataBaseName(const QString& name)
{
    if (name == m_dataBaseName)
        return;
    // The connection and a prepared statement belong to the old database;
    // keeping either would run the next statement there.
    if (!Loading()) {
        Close();
        UnPrepare();
        LetGoOfConnection(true);
        ForgetDatabase();
    }
    m_dataBaseName = name;
}

void TcsDataset::ForgetDatabase()
{
    if (m_linkedDatabase != nullptr) {
        m_linkedDatabase->RemoveFreeNotification(this);
        m_linkedDatabase->UnregisterDataset(this);
    }
    m_linkedDatabase = nullptr;
}

void TcsDataset::SetSQL(const QByteArrayList& lines)
{
    if (lines == m_sql)
        return;
    if (!Loading()) {
        UnPrepare();
        Close();
    }
    m_sql = lines;
    PrepareStatementText();
}

void TcsDataset::SetSQLText(QByteArrayView text)
{
    QByteArrayList lines;
    if (!text.isEmpty()) {
        lines = text.toByteArray().split('\n');
        for (QByteArray& line : lines) {
            if (line.endsWith('\r'))
                line.chop(1);
        }
        if (lines.last().isEmpty())
            lines.removeLast();
    }
    SetSQL(lines);
}

void TcsDataset::PrepareStatementText()
{
    // The text of a list of lines: every line followed by CR LF.
    QByteArray text;
    for (const QByteArray& line : std::as_const(m_sql))
        text += line + "\r\n";
    if (!m_paramCheck) {
        m_statementText = text;
        return;
    }
    text.replace("\r\n", " ");
    if (!Loading())
        text += ' ';
    TParams params;
    QByteArray parsed = params.ParseSQL(text, true);
    if (const qsizetype nul = parsed.indexOf('\0'); nul >= 0)
        parsed.truncate(nul);
    m_statementText = parsed;
    params.AssignValues(m_params);
    m_params = std::move(params);
}

TDataSource* TcsDataset::DataSource() const
{
    return m_masterLink->DataSource();
}

void TcsDataset::SetDataSource(TDataSource* source)
{
    for (TDataSource* s = source; s != nullptr;) {
        TDataSet* master = s->DataSet();
        if (master == nullptr)
            break;
        if (master == this)
            DatabaseError(QStringLiteral("Recursive datalinks not allowed"));
        s = master->DataSource();
    }
    m_masterLink->SetDataSource(source);
}

void TcsDataset::SetUpdateObject(TSQLUpdate* updateObject)
{
    if (updateObject == m_updateObject)
        return;
    if (m_updateObject != nullptr)
        m_updateObject->SetQuery(nullptr);
    m_updateObject = updateObject;
    if (m_updateObject != nullptr) {
        m_updateObject->SetQuery(this);
        if (!Loading())
            m_updateParams.reset();
    }
}

void TcsDataset::UpdateObjectDetached(TSQLUpdate* updateObject)
{
    if (m_updateObject == updateObject)
        m_updateObject = nullptr;
}

void TcsDataset::SetUpdateParams(const TUpdateParams& params)
{
    m_updateParams = std::make_unique<TUpdateParams>(params);
    SetUpdateObject(nullptr);
}

// ---- database and driver -----------------------------------------------------

TcsCustomDatabase& TcsDataset::ResolveDatabase()
{
    if (m_linkedDatabase == nullptr) {
        TcsCustomDatabase* database = TGlobalDatabaseList::Instance().Find(m_dataBaseName);
        if (database == nullptr)
            DatabaseError(QStringLiteral("Database '%1' not found").arg(m_dataBaseName));
        m_linkedDatabase = database;
        database->AddFreeNotification(this);
    }
    return *m_linkedDatabase;
}

TcsCustomSQLDriver* TcsDataset::Driver() const
{
    return m_linkedDatabase != nullptr ? m_linkedDatabase->Driver() : nullptr;
}

int TcsDataset::PoolSize() const
{
    return m_linkedDatabase != nullptr ? m_linkedDatabase->ConnectionPoolSize() : 0;
}

void TcsDataset::DatabaseDestroying(TcsCustomDatabase* database)
{
    if (database != m_linkedDatabase)
        return;
    try {
        Close();
    } catch (const std::exception& error) {
        HandleException(error);
    }
    LetGoOfConnection(true);
    m_prepared = false;
    m_linkedDatabase = nullptr;
}

void TcsDataset::LetGoOfConnection(bool destroying)
{
    TcsCustomSQLDriver* driver = Driver();
    if (destroying) {
        if (m_connection != nullptr && driver != nullptr)
            driver->ReleaseConnection(m_connection);
        m_connection = nullptr;
        if (m_linkedDatabase != nullptr)
            m_linkedDatabase->UnregisterDataset(this);
    } else if (m_connection != nullptr) {
        if (driver != nullptr)
            driver->ClearConnection(m_connection);
    } else if (m_linkedDatabase != nullptr) {
        m_linkedDatabase->UnregisterDataset(this);
    }
}

void TcsDataset::FillMasterParams()
{
    TDataSource* source = DataSource();
    TDataSet* master = source != nullptr ? source->DataSet() : nullptr;
    if (master == nullptr || !master->Active())
        return;
    for (TParam& param : m_params) {
        if (param.Name.startsWith(u"OLD_", Qt::CaseInsensitive)) {
            if (TField* field = master->FindField(QStringView(param.Name).sliced(4))) {
                param.AssignFieldValue(*field, field->OldValue());
                continue;
            }
        }
        if (TField* field = master->FindField(param.Name))
            param.AssignField(*field);
    }
}

void TcsDataset::MasterChanged()
{
    TDataSet* master = DataSource() != nullptr ? DataSource()->DataSet() : nullptr;
    if (master == nullptr || !master->Active() || !Active())
        return;
    const TDataSetState state = master->State();
    if (state == dsEdit || state == dsInsert || state == dsSetKey)
        return;
    Refresh();
}

// ---- statements --------------------------------------------------------------

void TcsDataset::ExecuteQuery()
{
    if (m_statementText.trimmed().isEmpty())
        DatabaseError(QStringLiteral("No statement in query"));
    TcsCustomDatabase& database = ResolveDatabase();
    FillMasterParams();
    m_rowsAffected = std::max(database.Execute(m_statementText, &m_params, this), 0);
}

void TcsDataset::ExecSQL()
{
    if (m_statementText.trimmed().isEmpty())
        DatabaseError(QStringLiteral("No statement in query"));
    TcsCustomDatabase& database = ResolveDatabase();
    FillMasterParams();
    if (m_connection != nullptr && Driver() != nullptr)
        Driver()->ClearConnection(m_connection);
    m_rowsAffected = std::max(database.Execute(m_statementText, &m_params, nullptr), 0);
}

void TcsDataset::Prepare()
{
    if (m_prepared)
        return;
    if (m_statementText.trimmed().isEmpty())
        DatabaseError(QStringLiteral("No statement in query"));
    TcsCustomDatabase& database = ResolveDatabase();
    FillMasterParams();
    if (database.Driver() == nullptr)
        DatabaseError(QStringLiteral("Database has no driver defined"));
    database.Driver()->PrepareStatement(m_statementText, *this);
    m_prepared = true;
}

void TcsDataset::UnPrepare()
{
    if (!m_prepared)
        return;
    m_prepared = false;
    if (TcsCustomSQLDriver* driver = Driver())
        driver->UnprepareStatement(*this);
}

// ---- opening, fetching, closing ----------------------------------------------

void TcsDataset::CreateStores()
{
    const bool inFile = m_executeOptions.contains(eoCacheToDisk);
    m_recordCache = std::make_unique<TcsBuffers>(m_recordSize, inFile);
    m_blobStore = std::make_unique<TcsBlobList>(inFile);
}

void TcsDataset::AddFieldDef(const QString& name, TFieldType type, int size, bool required, bool readOnly,
                             int columnIndex)
{
    TFieldDef def;
    def.Name = name;
    for (const TFieldDef& existing : std::as_const(FieldDefs())) {
        if (existing.Name.compare(name, Qt::CaseInsensitive) == 0) {
            def.Name = name + QString::number(columnIndex);
            break;
        }
    }
    def.DataType = type;
    def.Size = size;
    def.Required = required;
    def.ReadOnly = readOnly || type == ftAutoInc;
    def.FieldNo = static_cast<int>(FieldDefs().size()) + 1;
    FieldDefs().append(def);
    const int width = fieldbuffer::slotWidth(type, size);
    m_fieldOffsets.append(m_dataSize);
    m_slotWidths.append(width);
    m_dataSize += width + 1;
}

int TcsDataset::SlotWidth(int fieldNo) const
{
    return fieldNo >= 1 && fieldNo <= m_slotWidths.size() ? m_slotWidths.at(fieldNo - 1) : 0;
}

void TcsDataset::InternalOpen()
{
    if (m_fieldsDefined && m_connection != nullptr && Driver() != nullptr)
        Driver()->ClearConnection(m_connection);
    m_allFetched = false;
    m_fieldsDefined = false;
    m_recordSize = 0;
    ExecuteQuery();

    FieldDefs().clear();
    m_fieldOffsets.clear();
    m_slotWidths.clear();
    m_dataSize = 0;
    m_fieldsDefined = Driver()->InitFieldDefs(*this);
    CreateAndBindFields();

    m_lastRecordId = m_cachedCount = m_currentRecord = 0;
    m_recordSize = m_dataSize + CalcFieldsSize() + kRecordTrailerSize;
    CreateStores();
    m_fetchBuffer.assign(static_cast<size_t>(m_recordSize), 0);
    Driver()->SetFieldOrigins(*this);
    if (m_executeOptions.contains(eoCacheAll)) {
        SqlWaitCursorGuard cursor(m_linkedDatabase->ShowHourglass());
        FetchAll();
    }
}

void TcsDataset::InternalClose()
{
    DetachBlobStreams();
    m_fieldsDefined = false;
    m_lastRecordId = m_cachedCount = 0;
    m_currentRecord = -1;
    m_recordCache.reset();
    m_blobStore.reset();
    // One "clear" leaves the connection without an open result set; with a
    // pool it is kept for the next statement either way.
    if (m_connection != nullptr && Driver() != nullptr)
        Driver()->ClearConnection(m_connection);
    m_allFetched = false;
}

void TcsDataset::InternalRefresh()
{
    CreateStores();
    if (m_connection != nullptr && Driver() != nullptr)
        Driver()->ClearConnection(m_connection);
    m_allFetched = false;
    m_lastRecordId = m_cachedCount = 0;
    m_currentRecord = 0;
    ExecuteQuery();
    m_fieldsDefined = true;
    if (m_executeOptions.contains(eoCacheAll) && ScreenCursor::instance().isMainThread())
        FetchAll();
    m_currentRecord = 1;
}

bool TcsDataset::FetchOne()
{
    if (!m_fieldsDefined || m_allFetched || m_recordCache == nullptr)
        return false;
    std::fill(m_fetchBuffer.begin(), m_fetchBuffer.end(), 0);
    TcsCustomSQLDriver* driver = Driver();
    if (driver != nullptr && driver->FetchRow(*this, m_fetchBuffer.data())) {
        ++m_lastRecordId;
        qToLittleEndian<qint32>(m_lastRecordId, m_fetchBuffer.data() + BookmarkOffset());
        m_fetchBuffer[static_cast<size_t>(BookmarkOffset() + kBookmarkSize)] = bfCurrent;
        m_recordCache->Append(m_fetchBuffer.data());
        ++m_cachedCount;
        return true;
    }
    m_allFetched = true;
    if (PoolSize() > 0)
        LetGoOfConnection(false);
    return false;
}

int TcsDataset::FetchAhead(int count)
{
    int fetched = 0;
    while ((count <= 0 || fetched < count) && FetchOne())
        ++fetched;
    return fetched;
}

bool TcsDataset::ReadCached(int index, char* buffer)
{
    return m_recordCache != nullptr && m_recordCache->Get(index, buffer);
}

TGetResult TcsDataset::GetRecord(char* buffer, TGetMode mode, bool doCheck)
{
    for (;;) {
        TGetResult result = grOK;
        switch (mode) {
        case gmCurrent:
            if (m_currentRecord < 1 || m_currentRecord > m_cachedCount)
                result = grError;
            break;
        case gmNext:
            ++m_currentRecord;
            if (m_currentRecord > m_cachedCount) {
                if (m_allFetched) {
                    m_currentRecord = m_cachedCount + 1;
                    result = grEOF;
                } else {
                    const bool fetched = FetchOne();
                    m_currentRecord = m_cachedCount;
                    if (!fetched)
                        result = grEOF;
                }
            }
            break;
        case gmPrior:
            if (m_currentRecord > 1)
                --m_currentRecord;
            else
                result = grBOF;
            break;
        }
        if (result == grOK) {
            ReadCached(m_currentRecord, buffer);
            buffer[BookmarkOffset() + kBookmarkSize] = bfCurrent;
            GetCalcFields(buffer);
            if (HasFilter() && !FilterRecord(buffer)) {
                if (mode == gmCurrent)
                    result = grError;
                else
                    continue;
            }
        }
        if (result == grError && doCheck)
            DatabaseError(QStringLiteral("No Records"));
        return result;
    }
}

void TcsDataset::InternalLast()
{
    {
        SqlWaitCursorGuard cursor(m_linkedDatabase != nullptr && m_linkedDatabase->ShowHourglass());
        FetchAll();
    }
    m_currentRecord = m_cachedCount + 1;
}

int TcsDataset::GetRecNo()
{
    if (m_currentRecord == 0 && m_cachedCount > 0)
        return 1;
    return m_currentRecord;
}

void TcsDataset::InternalSetRecNo(int recNo)
{
    if (recNo > m_cachedCount && !m_allFetched) {
        SqlWaitCursorGuard cursor(m_linkedDatabase != nullptr && m_linkedDatabase->ShowHourglass());
        while (m_cachedCount < recNo && FetchOne()) {
        }
    }
    m_currentRecord = std::clamp(recNo, 1, std::max(m_cachedCount, 1));
}

// ---- bookmarks -----------------------------------------------------------------

qint32 TcsDataset::RecordIdOf(const char* buffer) const
{
    return qFromLittleEndian<qint32>(buffer + BookmarkOffset());
}

TBookmark TcsDataset::GetBookmarkData(const char* buffer) const
{
    return QByteArray(buffer + BookmarkOffset(), kBookmarkSize);
}

TBookmarkFlag TcsDataset::GetBookmarkFlag(const char* buffer) const
{
    return static_cast<TBookmarkFlag>(buffer[BookmarkOffset() + kBookmarkSize]);
}

void TcsDataset::SetBookmarkFlag(char* buffer, TBookmarkFlag flag) const
{
    buffer[BookmarkOffset() + kBookmarkSize] = static_cast<char>(flag);
}

void TcsDataset::InternalInitRecord(char* buffer) const
{
    std::memset(buffer, 0, static_cast<size_t>(m_recordSize));
}

int TcsDataset::FindRecordId(qint32 recordId, bool fetchAll)
{
    // Runs on every move (the framework re-positions on the active record),
    // so the scratch buffer is kept rather than allocated per call.
    std::vector<char>& buffer = m_scanBuffer;
    buffer.resize(static_cast<size_t>(m_recordSize));
    if (ReadCached(m_currentRecord, buffer.data()) && RecordIdOf(buffer.data()) == recordId)
        return m_currentRecord;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 1; i <= m_cachedCount; ++i) {
            if (ReadCached(i, buffer.data()) && RecordIdOf(buffer.data()) == recordId)
                return i;
        }
        if (!fetchAll || m_allFetched)
            break;
        SqlWaitCursorGuard cursor(m_linkedDatabase != nullptr && m_linkedDatabase->ShowHourglass());
        FetchAll();
    }
    return 0;
}

void TcsDataset::InternalSetToRecord(const char* buffer)
{
    InternalGotoBookmark(GetBookmarkData(buffer));
}

void TcsDataset::InternalGotoBookmark(const TBookmark& bookmark)
{
    if (bookmark.size() != kBookmarkSize)
        DatabaseError(QStringLiteral("Bookmark not found."));
    const int index = FindRecordId(qFromLittleEndian<qint32>(bookmark.constData()), true);
    if (index == 0)
        DatabaseError(QStringLiteral("Bookmark not found."));
    m_currentRecord = index;
}

bool TcsDataset::BookmarkValid(const TBookmark& bookmark)
{
    return Active() && bookmark.size() == kBookmarkSize
        && FindRecordId(qFromLittleEndian<qint32>(bookmark.constData()), false) != 0;
}

int TcsDataset::CompareBookmarks(const TBookmark& a, const TBookmark& b) const
{
    if (a.size() != kBookmarkSize || b.size() != kBookmarkSize)
        return TDataSet::CompareBookmarks(a, b);
    const qint32 x = qFromLittleEndian<qint32>(a.constData());
    const qint32 y = qFromLittleEndian<qint32>(b.constData());
    return x < y ? -1 : x > y ? 1 : 0;
}

} // namespace lystra
