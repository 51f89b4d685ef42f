#include "db/tcsdatabase.h"

#include "db/edatabaseerror.h"
#include "db/tcsdataset.h"
#include "db/tcssocketdriver.h"
#include "db/tdataset.h"
#include "db/tglobaldatabaselist.h"
#include "platform/screencursor.h"

#include <exception>

namespace lystra {

namespace {

TcsCustomDatabase::TLoginDialog& loginDialog()
{
    static TcsCustomDatabase::TLoginDialog dialog;
    return dialog;
}

const QString kClosedDatabase = QStringLiteral("Operation invalid on closed database");

} // namespace

TcsCustomDatabase::TcsCustomDatabase() = default;

TcsCustomDatabase::~TcsCustomDatabase()
{
    Shutdown();
}

void TcsCustomDatabase::SetLoginDialog(TLoginDialog dialog)
{
    loginDialog() = std::move(dialog);
}

// ---- names -------------------------------------------------------------------

void TcsCustomDatabase::SetName(const QString& name)
{
    TComponent::SetName(name);
    if (!Loading() && m_dataBaseName.isEmpty() && !name.isEmpty())
        m_dataBaseName = TGlobalDatabaseList::Instance().AddUnique(name, this);
}

void TcsCustomDatabase::SetDataBaseName(const QString& name)
{
    if (name == m_dataBaseName)
        return;
    if (name.isEmpty()) {
        TGlobalDatabaseList::Instance().Remove(this);
        m_dataBaseName.clear();
        return;
    }
    if (TGlobalDatabaseList::Instance().Rename(this, name))
        m_dataBaseName = name;
}

void TcsCustomDatabase::Loaded()
{
    if (m_dataBaseName.isEmpty() && !Name().isEmpty())
        m_dataBaseName = TGlobalDatabaseList::Instance().AddUnique(Name(), this);
    if (m_streamedConnected) {
        m_streamedConnected = false;
        SetConnected(true);
    }
}

// ---- driver ------------------------------------------------------------------

void TcsCustomDatabase::SetDriver(TcsCustomSQLDriver* driver)
{
    if (driver == m_driver)
        return;
    if (m_connected)
        Close();
    if (m_driver != nullptr)
        m_driver->SetDatabase(nullptr);
    m_driver = driver;
    if (m_driver == nullptr)
        return;
    if (TcsCustomDatabase* previous = m_driver->Database(); previous != nullptr && previous != this) {
        if (previous->Connected())
            previous->Close();
        previous->m_driver = nullptr;
    }
    m_driver->SetDatabase(this);
    m_driver->SetPoolSize(m_connectionPoolSize);
}

void TcsCustomDatabase::SetConnectionPoolSize(int size)
{
    m_connectionPoolSize = size;
    if (m_driver != nullptr)
        m_driver->SetPoolSize(size);
}

// ---- connecting ----------------------------------------------------------------

void TcsCustomDatabase::SetConnected(bool connected)
{
    if (Loading()) {
        m_streamedConnected = connected;
        return;
    }
    if (connected == m_connected)
        return;
    if (connected)
        DoConnect();
    else
        DoDisconnect();
}

void TcsCustomDatabase::DoConnect()
{
    if (BeforeConnect)
        BeforeConnect(this);
    if (m_driver == nullptr)
        DatabaseError(QStringLiteral("Database has no driver defined"));
    if (OnLogin) {
        bool cancelOpen = false;
        OnLogin(*this, cancelOpen);
        if (cancelOpen) {
            if (AfterConnect)
                AfterConnect(this);
            return;
        }
    }
    if (m_loginPrompt && loginDialog() && !loginDialog()(*this))
        throw EAbort();
    m_driver->SetTransIsolation(m_transIsolation);
    {
        SqlWaitCursorGuard cursor(m_showHourglass);
        m_driver->Connect();
    }
    m_connected = true;
    if (AfterConnect)
        AfterConnect(this);
}

void TcsCustomDatabase::DoDisconnect()
{
    if (BeforeDisconnect)
        BeforeDisconnect(this);
    std::exception_ptr failure;
    if (m_driver != nullptr) {
        // The connections go whatever the server says to the rollback.
        try {
            if (m_driver->InTransaction())
                m_driver->TransactionCommand(tcRollback);
        } catch (...) {
            failure = std::current_exception();
        }
        const QList<TcsDataset*> datasets = m_datasets.Snapshot();
        for (auto it = datasets.rbegin(); it != datasets.rend(); ++it)
            (*it)->LetGoOfConnection(false);
        m_driver->Disconnect();
    }
    m_connected = false;
    if (AfterDisconnect)
        AfterDisconnect(this);
    if (failure)
        std::rethrow_exception(failure);
}

void TcsCustomDatabase::Shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    const QList<TcsDataset*> notified = m_freeNotifications;
    for (TcsDataset* dataset : notified)
        dataset->DatabaseDestroying(this);
    m_freeNotifications.clear();
    for (TcsDataset* dataset : m_datasets.Snapshot())
        dataset->DatabaseDestroying(this);
    try {
        if (m_connected)
            DoDisconnect();
        else if (m_driver != nullptr)
            m_driver->Disconnect();
    } catch (const std::exception& error) {
        TDataSet::HandleException(error);
    }
    m_connected = false;
    TGlobalDatabaseList::Instance().Remove(this);
    if (m_driver != nullptr)
        m_driver->SetDatabase(nullptr);
}

// ---- statements and connections -------------------------------------------------

TcsConnection* TcsCustomDatabase::AcquireConnection()
{
    if (!m_connected)
        Open();
    return m_driver != nullptr ? m_driver->AcquireConnection() : nullptr;
}

int TcsCustomDatabase::Execute(const QByteArray& statement, TParams* params, TcsDataset* dataset)
{
    SqlWaitCursorGuard cursor(m_showHourglass);
    if (!m_connected)
        Open();
    if (m_driver == nullptr)
        DatabaseError(QStringLiteral("Database has no driver defined"));
    m_driver->OnTraceSQL = OnTraceSQL;
    return m_driver->Execute(statement, params, dataset);
}

void TcsCustomDatabase::CheckConnected() const
{
    if (!m_connected || m_driver == nullptr)
        DatabaseError(kClosedDatabase);
}

void TcsCustomDatabase::StartTransaction()
{
    CheckConnected();
    if (m_driver->InTransaction())
        DatabaseError(
            QStringLiteral("Transaction already started. Must Commit or Rollback before starting new transaction."));
    m_driver->TransactionCommand(tcStart);
}

void TcsCustomDatabase::Commit()
{
    CheckConnected();
    if (!m_driver->InTransaction())
        DatabaseError(QStringLiteral("No transaction active."));
    m_driver->TransactionCommand(tcCommit);
}

void TcsCustomDatabase::Rollback()
{
    CheckConnected();
    if (!m_driver->InTransaction())
        DatabaseError(QStringLiteral("No transaction active."));
    m_driver->TransactionCommand(tcRollback);
}

bool TcsCustomDatabase::InTransaction()
{
    CheckConnected();
    return m_driver->InTransaction();
}

// ---- datasets ------------------------------------------------------------------

void TcsCustomDatabase::RegisterDataset(TcsDataset* dataset)
{
    if (!m_datasets.Contains(dataset))
        m_datasets.Add(dataset);
}

void TcsCustomDatabase::UnregisterDataset(TcsDataset* dataset)
{
    m_datasets.Remove(dataset);
}

void TcsCustomDatabase::AddFreeNotification(TcsDataset* dataset)
{
    if (!m_freeNotifications.contains(dataset))
        m_freeNotifications.append(dataset);
}

void TcsCustomDatabase::RemoveFreeNotification(TcsDataset* dataset)
{
    m_freeNotifications.removeOne(dataset);
}

// ---- TcsDatabase -----------------------------------------------------------------

TcsDatabase::TcsDatabase()
    : m_socketDriver(std::make_unique<TcsSocketDriver>())
{
    SetDriver(m_socketDriver.get());
}

TcsDatabase::~TcsDatabase()
{
    Shutdown();
}

bool TcsDatabase::GetCustomData(QByteArrayList& list)
{
    m_socketDriver->SetLoginServer(RemoteGateway());
    return m_socketDriver->GetCustomData(list);
}

} // namespace lystra
