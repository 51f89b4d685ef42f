#pragma once

#include "db/dbtypes.h"
#include "db/tcomponent.h"
#include "db/tcsbuffers.h"
#include "db/tcscustomsqldriver.h"
#include "db/tnamevaluelist.h"

#include <QByteArrayList>

#include <functional>
#include <memory>

namespace lystra {

class TcsDataset;
class TcsSocketDriver;
class TParams;

// A named connection to one server database, which datasets find by its
// DataBaseName. It keeps the connection values in Params ("Server", "DBQ",
// "UID", "PWD"), logs in through OnLogin or the login dialog, and runs every
// statement through its driver, which owns the server connections.
//
// A TcsCustomDatabase does not own its driver (SetDriver); a TcsDatabase
// creates and owns a TcsSocketDriver. Every database is listed in
// TGlobalDatabaseList while it has a name.
class TcsCustomDatabase : public TComponent {
public:
    using TNotifyEvent = std::function<void(TComponent* sender)>;
    using TLoginEvent = std::function<void(TcsCustomDatabase& sender, bool& cancelOpen)>;
    using TTraceSQLEvent = TcsCustomSQLDriver::TTraceSQLEvent;
    // Shows the login dialog for the database; false when it was cancelled.
    using TLoginDialog = std::function<bool(TcsCustomDatabase& database)>;

    TcsCustomDatabase();
    ~TcsCustomDatabase() override;

    // ---- properties
    bool Connected() const noexcept { return m_connected; }
    void SetConnected(bool connected);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    const QString& DataBaseName() const noexcept { return m_dataBaseName; }
    // Changes nothing when another database has that name already.
    void SetDataBaseName(const QString& name);
    // Names the component; a database without DataBaseName takes the name
    // (extended by a number when another database has it).
    void SetName(const QString& name) override;
    bool Exclusive() const noexcept { return m_exclusive; }
    void SetExclusive(bool exclusive) { m_exclusive = exclusive; }
    bool LoginPrompt() const noexcept { return m_loginPrompt; }
    void SetLoginPrompt(bool prompt) { m_loginPrompt = prompt; }
    TNameValueList& Params() noexcept { return m_params; }
    const TNameValueList& Params() const noexcept { return m_params; }
    bool ReadOnly() const noexcept { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    TTransIsolation TransIsolation() const noexcept { return m_transIsolation; }
    void SetTransIsolation(TTransIsolation isolation) { m_transIsolation = isolation; }
    int ConnectionPoolSize() const noexcept { return m_connectionPoolSize; }
    void SetConnectionPoolSize(int size);
    // Show the SQL-wait cursor around server work [true].
    bool ShowHourglass() const noexcept { return m_showHourglass; }
    void SetShowHourglass(bool show) { m_showHourglass = show; }
    // The tag the owner gives the database (the database manager: its kind).
    int Tag() const noexcept { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }

    TNotifyEvent OnConnectError;
    TNotifyEvent BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;
    TLoginEvent OnLogin;
    TTraceSQLEvent OnTraceSQL;

    TcsCustomSQLDriver* Driver() const noexcept { return m_driver; }
    // Disconnects first; the driver learns its database and the pool size.
    void SetDriver(TcsCustomSQLDriver* driver);

    // ---- operations
    // Connects if needed, then the driver's connection; nullptr without driver.
    TcsConnection* AcquireConnection();
    int Execute(const QByteArray& statement, TParams* params, TcsDataset* dataset);
    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction();

    // ---- datasets
    // The datasets that hold or wait for a connection of this database.
    TcsThreadList<TcsDataset>& Datasets() noexcept { return m_datasets; }
    void RegisterDataset(TcsDataset* dataset);
    void UnregisterDataset(TcsDataset* dataset);
    // Datasets that refer to this database and must hear of its destruction.
    void AddFreeNotification(TcsDataset* dataset);
    void RemoveFreeNotification(TcsDataset* dataset);

    // The process-wide login dialog for LoginPrompt; without one, connecting
    // goes ahead with the values in Params.
    static void SetLoginDialog(TLoginDialog dialog);

protected:
    void Loaded() override;
    // Closes the datasets' connections, disconnects and leaves the global
    // list; a derived class that owns its driver calls it before freeing it.
    void Shutdown();

private:
    void DoConnect();
    void DoDisconnect();
    void CheckConnected() const;

    bool m_connected = false;
    bool m_streamedConnected = false;
    QString m_dataBaseName;
    bool m_exclusive = false;
    bool m_loginPrompt = true;
    TNameValueList m_params;
    bool m_readOnly = false;
    TTransIsolation m_transIsolation = tiReadCommitted;
    int m_connectionPoolSize = 5;
    bool m_showHourglass = true;
    int m_tag = 0;
    bool m_shutDown = false;
    TcsCustomSQLDriver* m_driver = nullptr;
    TcsThreadList<TcsDataset> m_datasets;
    QList<TcsDataset*> m_freeNotifications;
};

// The database over the gateway server: its driver is a TcsSocketDriver,
// created with it and freed with it.
class TcsDatabase : public TcsCustomDatabase {
public:
    TcsDatabase();
    ~TcsDatabase() override;

    TcsSocketDriver& SocketDriver() const noexcept { return *m_socketDriver; }
    // The "DBQ" and "Server" values of Params.
    QString RemoteDatasource() const { return Params().Values(u"DBQ"); }
    void SetRemoteDatasource(const QString& name) { Params().SetValues(u"DBQ", name); }
    QString RemoteGateway() const { return Params().Values(u"Server"); }
    void SetRemoteGateway(const QString& server) { Params().SetValues(u"Server", server); }
    // Fills the list with the server's custom data ("sys customdata ");
    // answers whether that worked and swallows every error.
    bool GetCustomData(QByteArrayList& list);

private:
    std::unique_ptr<TcsSocketDriver> m_socketDriver;
};

} // namespace lystra
