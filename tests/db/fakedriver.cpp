#include "fakedriver.h"

#include "db/edatabaseerror.h"
#include "db/fieldbuffer.h"
#include "db/tcsdataset.h"
#include "db/tparams.h"
#include "odbc/odbcvalue.h"

namespace lystra::test {

FakeDriver::~FakeDriver()
{
    for (FakeConnection* connection : std::as_const(pool))
        Free(connection);
}

void FakeDriver::Free(TcsConnection* connection)
{
    delete connection;
    ++connectionsFreed;
}

void FakeDriver::Connect()
{
    ++connects;
    driverConnected = true;
    if (Database() != nullptr && Database()->ReadOnly())
        return;
    TcsConnection* connection = AcquireConnection();
    ReleaseConnection(connection);
}

void FakeDriver::Disconnect()
{
    driverConnected = false;
    for (FakeConnection* connection : std::as_const(pool))
        Free(connection);
    pool.clear();
}

void FakeDriver::TransactionCommand(TcsTransactionCommand command)
{
    transactionCommands.append(command);
    inTransaction = command == tcStart;
}

TcsConnection* FakeDriver::AcquireConnection()
{
    if (!driverConnected) {
        Connect();
        if (!driverConnected)
            return nullptr;
    }
    if (!pool.isEmpty())
        return pool.takeFirst();
    if (refuseLogin) {
        Disconnect();
        if (Database() != nullptr && Database()->OnConnectError) {
            Database()->OnConnectError(this);
            return nullptr;
        }
        throw Exception(QStringLiteral("Login refused"));
    }
    ++connectionsOpened;
    return new FakeConnection(m_nextId++);
}

void FakeDriver::ReleaseConnection(TcsConnection*& connection)
{
    if (connection == nullptr)
        return;
    ClearConnection(connection);
    if (pool.size() < PoolSize())
        pool.append(static_cast<FakeConnection*>(connection));
    else
        Free(connection);
    connection = nullptr;
}

void FakeDriver::ClearConnection(TcsConnection* connection)
{
    if (connection == nullptr)
        return;
    auto* fake = static_cast<FakeConnection*>(connection);
    ++fake->clears;
    ++clears;
    fake->result = nullptr;
    fake->prepared.clear();
}

void FakeDriver::PrepareStatement(const QByteArray& statement, TcsDataset& dataset)
{
    static_cast<FakeConnection*>(DatasetConnection(dataset))->prepared = statement;
}

void FakeDriver::UnprepareStatement(TcsDataset& dataset)
{
    ClearConnection(dataset.Connection());
}

int FakeDriver::Execute(const QByteArray& statement, TParams* params, TcsDataset* dataset)
{
    const QByteArray bound = BindParameters(statement, params).trimmed();
    executed.append(bound);
    if (dataset == nullptr)
        commands.append(bound);
    if (OnTraceSQL)
        OnTraceSQL("0 ms |\t" + statement);
    FakeConnection* connection = nullptr;
    if (dataset != nullptr) {
        connection = static_cast<FakeConnection*>(DatasetConnection(*dataset));
        connection->result = nullptr;
        connection->row = 0;
    }
    if (const auto failure = failures.constFind(bound); failure != failures.constEnd())
        throw Exception(*failure);
    if (connection != nullptr) {
        const auto result = results.constFind(bound);
        if (result != results.constEnd()) {
            connection->result = &*result;
            return 0;
        }
    }
    return rowsAffected;
}

bool FakeDriver::InitFieldDefs(TcsDataset& dataset)
{
    auto* connection = static_cast<FakeConnection*>(dataset.Connection());
    if (connection == nullptr || connection->result == nullptr || connection->result->columns.isEmpty())
        return false;
    int index = 0;
    for (const FakeColumn& column : connection->result->columns)
        dataset.AddFieldDef(column.name, column.type, column.size, false, column.readOnly, index++);
    return true;
}

void FakeDriver::SetFieldOrigins(TcsDataset& dataset)
{
    auto* connection = static_cast<FakeConnection*>(dataset.Connection());
    if (connection == nullptr || connection->result == nullptr)
        return;
    for (int i = 0; i < dataset.FieldCount(); ++i) {
        TField& field = dataset.Fields(i);
        if (field.FieldNo() >= 1)
            field.SetOrigin(connection->result->columns.value(field.FieldNo() - 1).origin);
    }
}

bool FakeDriver::FetchRow(TcsDataset& dataset, char* buffer)
{
    auto* connection = static_cast<FakeConnection*>(dataset.Connection());
    if (connection == nullptr || connection->result == nullptr || connection->row >= connection->result->rows.size())
        return false;
    if (connection->row == connection->result->failAtRow)
        throw Exception(QStringLiteral("Connection to VIDAZevivu lost"));
    SetFetchDataset(&dataset);
    const QVariantList& row = connection->result->rows.at(connection->row++);
    for (int i = 0; i < dataset.FieldCount(); ++i) {
        const TField& field = dataset.Fields(i);
        const int fieldNo = field.FieldNo();
        if (fieldNo < 1)
            continue;
        QVariant value = row.value(fieldNo - 1);
        if (!value.isValid()) {
            StoreNullValue(fieldNo, buffer);
        } else if (field.IsBlob()) {
            StoreBlobValue(field, value.toByteArray(), buffer);
        } else {
            if (isStringType(field.DataType()) && dataset.QueryOptions().contains(TrimAllStrings))
                value = trimTrailing(value.toByteArray()).toByteArray();
            QByteArray slot(dataset.SlotWidth(fieldNo), '\0');
            fieldbuffer::write(field.DataType(), value, slot.data(), static_cast<int>(slot.size()));
            StoreFieldValue(fieldNo, slot.constData(), static_cast<int>(slot.size()), buffer);
        }
    }
    SetFetchDataset(nullptr);
    return true;
}

FakeDatabase::FakeDatabase(const QString& name)
{
    SetLoginPrompt(false);
    SetName(name);
    SetDriver(&driver);
}

FakeDatabase::~FakeDatabase()
{
    Shutdown();
}

} // namespace lystra::test
