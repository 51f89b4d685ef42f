#pragma once

#include "db/dbtypes.h"
#include "db/tcomponent.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

#include <functional>

namespace lystra {

class TcsCustomDatabase;
class TcsDataset;
class TField;
class TParams;

// One server connection as the layer passes it around: created by a driver,
// held by the driver's pool, by a dataset or by the driver as its main
// connection, and destroyed by the driver.
class TcsConnection {
public:
    TcsConnection() = default;
    virtual ~TcsConnection();

    TcsConnection(const TcsConnection&) = delete;
    TcsConnection& operator=(const TcsConnection&) = delete;
};

enum TcsTransactionCommand { tcStart, tcCommit, tcRollback };

// The SQL driver a database uses to reach its server. Datasets never talk to
// the server themselves: they execute statements, read field definitions and
// fetch rows through their database's driver.
//
// Text that travels to the server (statements, values, names) is host text
// (QByteArray in the host code page).
class TcsCustomSQLDriver : public TComponent {
public:
    // The trace callback: after every statement, its run time and text
    // ("15 ms |", a tab and the statement as passed in).
    using TTraceSQLEvent = std::function<void(const QByteArray& debugText)>;

    TcsCustomSQLDriver();
    ~TcsCustomSQLDriver() override;

    // The database this driver serves; set by the database.
    TcsCustomDatabase* Database() const noexcept { return m_database; }
    void SetDatabase(TcsCustomDatabase* database) { m_database = database; }
    TTransIsolation TransIsolation() const noexcept { return m_transIsolation; }
    void SetTransIsolation(TTransIsolation isolation) { m_transIsolation = isolation; }
    int PoolSize() const noexcept { return m_poolSize; }
    int RowsPerFetch() const noexcept { return m_rowsPerFetch; }
    TTraceSQLEvent OnTraceSQL;

    virtual void SetFieldOrigins(TcsDataset& dataset);
    virtual void SetRowsPerFetch(int count);
    virtual void SetPoolSize(int count);
    virtual void Disconnect() = 0;
    virtual void Connect() = 0;
    virtual void TransactionCommand(TcsTransactionCommand command) = 0;
    virtual bool InTransaction() = 0;
    virtual void GetDefaultIndexFields(const QByteArray& table, QByteArrayList& list);
    virtual void GetIndexFields(const QByteArray& table, const QByteArray& index, QByteArrayList& list) = 0;
    virtual void GetIndexNames(const QByteArray& table, QByteArrayList& list) = 0;
    virtual void GetTableNames(const QByteArray& name, QByteArrayList& list) = 0;
    virtual void GetDatabaseNames(QByteArrayList& list) = 0;
    virtual void GetDataSourceNames(QByteArrayList& list, const QString& server, int timeoutSeconds, int port);
    // Runs a statement with its "?" markers bound to `params` (may be null),
    // for `dataset` (opening it) or, with none, as a statement without result
    // set. Answers the affected rows.
    virtual int Execute(const QByteArray& statement, TParams* params, TcsDataset* dataset) = 0;
    // Adds the dataset's field definitions (TcsDataset::AddFieldDef) for the
    // current result; answers whether any was added.
    virtual bool InitFieldDefs(TcsDataset& dataset);
    // Stores the dataset's next row into `buffer` (a zeroed record buffer)
    // with the store services; false when there are no more rows.
    virtual bool FetchRow(TcsDataset& dataset, char* buffer) = 0;
    // Takes a connection back; the caller's reference becomes null.
    virtual void ReleaseConnection(TcsConnection*& connection) = 0;
    // Drops the connection's open result set, keeping it for later use.
    virtual void ClearConnection(TcsConnection* connection);
    // A connection for a dataset; nullptr when none could be had and the
    // database's OnConnectError took the failure.
    virtual TcsConnection* AcquireConnection() = 0;
    virtual void PrepareStatement(const QByteArray& statement, TcsDataset& dataset);
    virtual void UnprepareStatement(TcsDataset& dataset);
    virtual void ExecuteBatch(const QByteArrayList& statements);

    // Replaces each "?" of `statement` by the literal of the next parameter
    // (a "??" stands for one "?"): NULL "null"; string in single quotes
    // with quotes doubled; boolean 1/0; float and currency with "." and up
    // to 15 significant digits; date 'yyyy-mm-dd'; time in the long time
    // format, quoted; date-time 'yyyy-mm-dd hh:nn:ss'; blob 0x and upper-case
    // hex; memo quoted with CR LF as the character 26; other types as text.
    // Without parameters the statement is returned unchanged; otherwise one
    // blank is appended first. More markers than parameters raise
    // lystra::Exception "List index out of bounds (<n>)".
    static QByteArray BindParameters(QByteArrayView statement, const TParams* params);

    // Store services for FetchRow, on the dataset being filled. Field numbers
    // are 1-based column positions; values never run past their slot.
    void StoreFieldValue(int fieldNo, const char* bytes, int length, char* buffer);
    void StoreBlobValue(const TField& field, QByteArrayView value, char* buffer);
    void StoreNullValue(int fieldNo, char* buffer);

protected:
    // The dataset being filled while FetchRow runs.
    TcsDataset* FetchDataset() const noexcept { return m_fetchDataset; }
    void SetFetchDataset(TcsDataset* dataset) { m_fetchDataset = dataset; }
    // True while the driver's owner tears it down: connections are not
    // cleared any more, only parked or freed.
    bool Destroying() const noexcept { return m_destroying; }
    void SetDestroying() { m_destroying = true; }

    // The dataset's connection, acquiring one from the database (and
    // registering the dataset there) when it holds none. Raises
    // EDatabaseError "Unable to acquire connection from driver" when none
    // can be had.
    TcsConnection* DatasetConnection(TcsDataset& dataset);

private:
    TcsCustomDatabase* m_database = nullptr;
    TTransIsolation m_transIsolation = tiReadCommitted;
    int m_poolSize = 5;
    int m_rowsPerFetch = 200;
    TcsDataset* m_fetchDataset = nullptr;
    bool m_destroying = false;
};

} // namespace lystra
