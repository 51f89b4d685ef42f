#pragma once

#include "db/edatabaseerror.h"
#include "db/tcsbuffers.h"
#include "db/tdataset.h"
#include "db/tparams.h"
#include "db/tupdateparams.h"

#include <QByteArray>
#include <QByteArrayList>

#include <functional>
#include <memory>

namespace lystra {

class TcsConnection;
class TcsCustomDatabase;
class TcsCustomSQLDriver;
class TSQLUpdate;

// A dataset whose records come from an SQL statement run through a
// database's driver.
//
// The caller sets DataBaseName (the name of a TcsCustomDatabase) and SQL,
// opens the dataset and walks it; rows are fetched on demand, one at a time,
// into a record cache (in memory, or in temporary files with
// eoCacheToDisk). RecordCount is the number of rows fetched so far. A
// dataset borrows one server connection from its database's driver when it
// first executes and keeps it for its whole life; it gives it back when it
// is destroyed or moved to another database. Edits are written back with
// the statements of an update object or generated from UpdateParams, or only
// to the cache with LocalEdit.
//
// Statement text is host text; each line of SQL ends in CR LF when joined.
class TcsDataset : public TDataSet {
public:
    using TUpdateRecordEvent = std::function<void(TDataSet&, TUpdateKind, TUpdateAction&)>;
    using TUpdateErrorEvent = std::function<void(TDataSet&, EDatabaseError&, TUpdateKind, TUpdateAction&)>;

    TcsDataset();
    ~TcsDataset() override;

    // ---- properties
    static QString About() { return QStringLiteral("6.3.7"); }
    void SetAbout(const QString&) {}
    const QString& DataBaseName() const noexcept { return m_dataBaseName; }
    // A new name closes the dataset, gives its connection back and forgets
    // the database it found under the old name.
    void SetDataBaseName(const QString& name);
    const QByteArrayList& SQL() const noexcept { return m_sql; }
    // New text unprepares and closes the dataset and prepares StatementText.
    void SetSQL(const QByteArrayList& lines);
    // The text split into lines at CR LF or LF.
    void SetSQLText(QByteArrayView text);
    bool ParamCheck() const noexcept { return m_paramCheck; }
    void SetParamCheck(bool check) { m_paramCheck = check; }
    TParams& Params() noexcept { return m_params; }
    const TParams& Params() const noexcept { return m_params; }
    TcsExecuteOptions ExecuteOptions() const noexcept { return m_executeOptions; }
    void SetExecuteOptions(TcsExecuteOptions options) { m_executeOptions = options; }
    TcsQueryOptions QueryOptions() const noexcept { return m_queryOptions; }
    void SetQueryOptions(TcsQueryOptions options) { m_queryOptions = options; }
    TDataSource* DataSource() const override;
    // Raises "Recursive datalinks not allowed" when the source leads back here.
    void SetDataSource(TDataSource* source);
    TSQLUpdate* UpdateObject() const noexcept { return m_updateObject; }
    // Not owned. Drops UpdateParams (outside loading).
    void SetUpdateObject(TSQLUpdate* updateObject);
    const TUpdateParams* UpdateParams() const noexcept { return m_updateParams.get(); }
    // Copies the parameters and drops UpdateObject.
    void SetUpdateParams(const TUpdateParams& params);
    void ClearUpdateParams() { m_updateParams.reset(); }

    TUpdateRecordEvent OnUpdateRecord;
    TUpdateErrorEvent OnUpdateError;
    TDataSetNotifyEvent OnPost;

    // ---- operations
    void Prepare();
    void UnPrepare();
    bool Prepared() const noexcept { return m_prepared; }
    void SetPrepared(bool prepared) { prepared ? Prepare() : UnPrepare(); }
    // Runs the statement without result set on the database's own connection.
    void ExecSQL();
    int RowsAffected() const noexcept { return m_rowsAffected; }
    const QByteArray& StatementText() const noexcept { return m_statementText; }
    // Fetches until `count` more rows are cached or none come (all for
    // count <= 0); answers how many came.
    int FetchAhead(int count);
    void FetchAll() { FetchAhead(0); }

    bool Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options) override;
    QVariant Lookup(const QString& keyFields, const QVariant& keyValues, const QString& resultFields) override;
    bool BookmarkValid(const TBookmark& bookmark) override;
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) const override;
    std::unique_ptr<QIODevice> CreateBlobStream(TField& field, TBlobStreamMode mode) override;

    // ---- state the driver and the database work with
    TcsCustomDatabase* LinkedDatabase() const noexcept { return m_linkedDatabase; }
    TcsConnection* Connection() const noexcept { return m_connection; }
    void SetConnection(TcsConnection* connection) { m_connection = connection; }
    const TcsFieldOffsets& FieldOffsets() const noexcept { return m_fieldOffsets; }
    int SlotWidth(int fieldNo) const;
    int DataSize() const noexcept { return m_dataSize; }
    TcsBuffers* RecordCache() const noexcept { return m_recordCache.get(); }
    TcsBlobList* BlobStore() const noexcept { return m_blobStore.get(); }
    int CurrentRecord() const noexcept { return m_currentRecord; }
    int CachedCount() const noexcept { return m_cachedCount; }
    int LastRecordId() const noexcept { return m_lastRecordId; }
    bool AllFetched() const noexcept { return m_allFetched; }
    bool FieldsDefined() const noexcept { return m_fieldsDefined; }
    // Adds a field definition for a result column (0-based index); a name
    // already defined becomes name + index.
    void AddFieldDef(const QString& name, TFieldType type, int size, bool required, bool readOnly, int columnIndex);
    // Gives the connection back when destroying; otherwise clears it and
    // keeps it (or leaves the database's list when it holds none).
    void LetGoOfConnection(bool destroying);
    // Called by the database that is being destroyed.
    void DatabaseDestroying(TcsCustomDatabase* database);
    // Called by the update object that is destroyed or serves another query.
    void UpdateObjectDetached(TSQLUpdate* updateObject);

protected:
    int RecordSize() const override { return m_recordSize; }
    void InternalOpen() override;
    void InternalClose() override;
    TGetResult GetRecord(char* buffer, TGetMode mode, bool doCheck) override;
    void InternalFirst() override { m_currentRecord = 0; }
    void InternalLast() override;
    void InternalSetToRecord(const char* buffer) override;
    void InternalGotoBookmark(const TBookmark& bookmark) override;
    TBookmark GetBookmarkData(const char* buffer) const override;
    TBookmarkFlag GetBookmarkFlag(const char* buffer) const override;
    void SetBookmarkFlag(char* buffer, TBookmarkFlag flag) const override;
    void InternalInitRecord(char* buffer) const override;
    QVariant GetFieldValue(const TField& field, const char* buffer) const override;
    void SetFieldValue(TField& field, const QVariant& value) override;
    void ClearCalcFields(char* buffer) const override;
    int GetRecordCount() override { return m_cachedCount; }
    int GetRecNo() override;
    void InternalSetRecNo(int recNo) override;
    bool GetCanModify() override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalRefresh() override;

private:
    class MasterLink;
    class BlobStream;
    friend class BlobStream;

    void PrepareStatementText();
    TcsCustomDatabase& ResolveDatabase();
    void ForgetDatabase();
    TcsCustomSQLDriver* Driver() const;
    int PoolSize() const;
    void FillMasterParams();
    void ExecuteQuery();
    void CreateStores();
    bool FetchOne();
    bool ReadCached(int index, char* buffer);
    int FindRecordId(qint32 recordId, bool fetchAll);
    qint32 RecordIdOf(const char* buffer) const;
    int BookmarkOffset() const { return m_dataSize + CalcFieldsSize(); }
    int FieldOffset(const TField& field) const;
    int FindMatching(const QString& keyFields, const QVariant& keyValues, TLocateOptions options, char* buffer);
    void MasterChanged();
    void DetachBlobStreams();

    // Writing edits back.
    void TrimStringFields();
    void ApplyUpdates(TUpdateKind kind);
    void ApplyGeneratedStatement(TUpdateKind kind);
    void RaiseUpdateError(TUpdateKind kind, EDatabaseError& error);
    void StoreEditedRecord(TUpdateKind kind);

    QString m_dataBaseName;
    QByteArrayList m_sql;
    QByteArray m_statementText;
    bool m_paramCheck = true;
    TParams m_params;
    TcsExecuteOptions m_executeOptions;
    TcsQueryOptions m_queryOptions;
    std::unique_ptr<MasterLink> m_masterLink;
    TSQLUpdate* m_updateObject = nullptr;
    std::unique_ptr<TUpdateParams> m_updateParams;

    TcsCustomDatabase* m_linkedDatabase = nullptr;
    TcsConnection* m_connection = nullptr;
    std::unique_ptr<TcsBuffers> m_recordCache;
    std::unique_ptr<TcsBlobList> m_blobStore;
    TcsFieldOffsets m_fieldOffsets;
    QList<int> m_slotWidths;
    int m_dataSize = 0;
    int m_recordSize = 0;
    int m_currentRecord = -1;
    int m_cachedCount = 0;
    int m_lastRecordId = 0;
    bool m_allFetched = false;
    bool m_fieldsDefined = false;
    bool m_prepared = false;
    int m_rowsAffected = 0;
    std::vector<char> m_fetchBuffer;
    std::vector<char> m_scanBuffer; // FindRecordId's record buffer
    QList<BlobStream*> m_blobStreams;
};

// The dataset every query of the program runs with.
class TcsQuery : public TcsDataset {
public:
    using TcsDataset::TcsDataset;
};

} // namespace lystra
