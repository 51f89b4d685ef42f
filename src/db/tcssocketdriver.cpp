#include "db/tcssocketdriver.h"

#include "db/edatabaseerror.h"
#include "db/fieldbuffer.h"
#include "db/tcsdatabase.h"
#include "db/tcsdataset.h"
#include "db/tparams.h"
#include "odbc/odbcvalue.h"
#include "odbc/todbcclient.h"
#include "platform/hostcodec.h"

#include <QElapsedTimer>

#include <limits>
#include <optional>

namespace lystra {

namespace {

QByteArray host(const QString& text)
{
    return HostCodec::host().encode(text);
}

TFieldType fieldTypeOf(const QByteArray& dataType)
{
    switch (fieldKindOf(dataType)) {
    case TODBCFieldKind::String:
        return ftString;
    case TODBCFieldKind::Memo:
        return ftMemo;
    case TODBCFieldKind::Int16:
        return ftSmallint;
    case TODBCFieldKind::Int32:
        return ftInteger;
    case TODBCFieldKind::Int64:
        return ftLargeint;
    case TODBCFieldKind::Double:
        return ftFloat;
    case TODBCFieldKind::Currency:
        return ftCurrency;
    case TODBCFieldKind::Date:
        return ftDate;
    case TODBCFieldKind::Time:
        return ftTime;
    case TODBCFieldKind::DateTime:
        return ftDateTime;
    case TODBCFieldKind::Boolean:
        return ftBoolean;
    case TODBCFieldKind::Bytes:
        return ftBytes;
    case TODBCFieldKind::Blob:
        return ftBlob;
    }
    return ftString;
}

// How a field of a dataset reads its row value; nullopt for types that are
// stored as NULL.
std::optional<TODBCFieldKind> rowKindOf(TFieldType type)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
        return TODBCFieldKind::String;
    case ftWideString:
    case ftBytes:
    case ftVarBytes:
        return TODBCFieldKind::Bytes;
    case ftSmallint:
        return TODBCFieldKind::Int16;
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return TODBCFieldKind::Int32;
    case ftLargeint:
        return TODBCFieldKind::Int64;
    case ftBoolean:
        return TODBCFieldKind::Boolean;
    case ftFloat:
    case ftCurrency:
        return TODBCFieldKind::Double;
    case ftDate:
        return TODBCFieldKind::Date;
    case ftTime:
        return TODBCFieldKind::Time;
    case ftDateTime:
        return TODBCFieldKind::DateTime;
    case ftMemo:
        return TODBCFieldKind::Memo;
    case ftBlob:
        return TODBCFieldKind::Blob;
    default:
        return std::nullopt;
    }
}

} // namespace

TcsSocketConnection::TcsSocketConnection(std::unique_ptr<TODBCClient> client)
    : m_client(std::move(client))
{
}

TcsSocketConnection::~TcsSocketConnection() = default;

TcsSocketDriver::TcsSocketDriver() = default;

TcsSocketDriver::~TcsSocketDriver()
{
    SetDestroying();
    Disconnect();
}

TODBCClient& TcsSocketDriver::ClientOf(TcsConnection* connection)
{
    return static_cast<TcsSocketConnection*>(connection)->Client();
}

// ---- connecting ------------------------------------------------------------------

void TcsSocketDriver::Connect()
{
    if (m_driverConnected)
        return;
    if (TcsCustomDatabase* database = Database()) {
        m_loginDatabase = database->Params().Values(u"DBQ");
        m_loginServer = database->Params().Values(u"Server");
        m_loginUser = database->Params().Values(u"UID");
        m_loginPassword = database->Params().Values(u"PWD");
    }
    m_driverConnected = true;
    if (Database() != nullptr && Database()->ReadOnly())
        return;
    // A wrong login fails here, at connect time; the connection then waits
    // in the pool for the first dataset (or is freed without a pool).
    TcsConnection* connection = AcquireConnection();
    ReleaseConnection(connection);
}

TcsConnection* TcsSocketDriver::OpenConnection()
{
    std::unique_ptr<TODBCClient> client;
    try {
        client = std::make_unique<TODBCClient>(m_loginServer, m_timeout * 1000, m_port);
        client->OpenDatabase(host(m_loginDatabase), host(m_loginUser), host(m_loginPassword));
    } catch (const Exception&) {
        client.reset();
        Disconnect();
        TcsCustomDatabase* database = Database();
        if (database != nullptr && database->OnConnectError) {
            database->OnConnectError(this);
            return nullptr;
        }
        throw;
    }
    return new TcsSocketConnection(std::move(client));
}

TcsConnection* TcsSocketDriver::AcquireConnection()
{
    if (!m_driverConnected) {
        Connect();
        // A failed connect that OnConnectError took leaves the driver
        // disconnected; it has been told once already.
        if (!m_driverConnected)
            return nullptr;
    }
    TcsConnection* connection = m_pool.TakeFirst();
    if (connection == nullptr)
        connection = OpenConnection();
    if (connection != nullptr)
        ClientOf(connection).setRowsPerFetch(RowsPerFetch());
    return connection;
}

void TcsSocketDriver::ReleaseConnection(TcsConnection*& connection)
{
    if (connection == nullptr)
        return;
    ClearConnection(connection);
    if (m_pool.Count() < PoolSize())
        m_pool.Add(connection);
    else
        delete connection;
    connection = nullptr;
}

void TcsSocketDriver::ClearConnection(TcsConnection* connection)
{
    if (connection == nullptr || Destroying())
        return;
    static_cast<TcsSocketConnection*>(connection)->ForgetPrepared();
    try {
        ClientOf(connection).ClearCursor();
    } catch (const std::exception&) {
        // A connection that cannot take a "clear" fails its next command.
    }
}

void TcsSocketDriver::FreePool(int keep)
{
    while (m_pool.Count() > std::max(keep, 0))
        delete m_pool.TakeFirst();
}

void TcsSocketDriver::SetPoolSize(int count)
{
    TcsCustomSQLDriver::SetPoolSize(count);
    if (count >= 0)
        FreePool(count);
}

void TcsSocketDriver::Disconnect()
{
    m_driverConnected = false;
    ReleaseConnection(m_mainConnection);
    FreePool(0);
    // The server drops a transaction with its connection.
    m_inTransaction = false;
}

TODBCClient& TcsSocketDriver::Main()
{
    if (m_mainConnection == nullptr) {
        m_mainConnection = AcquireConnection();
        if (m_mainConnection == nullptr)
            DatabaseError(QStringLiteral("Unable to acquire connection from driver"));
    }
    return ClientOf(m_mainConnection);
}

// ---- statements ----------------------------------------------------------------------

int TcsSocketDriver::Execute(const QByteArray& statement, TParams* params, TcsDataset* dataset)
{
    QElapsedTimer timer;
    timer.start();
    const auto trace = [&] {
        if (OnTraceSQL)
            OnTraceSQL(QByteArray::number(timer.elapsed()) + " ms |\t" + statement);
    };
    const bool bind = params != nullptr && !params->IsEmpty();
    qint64 rows = 0;
    try {
        if (dataset != nullptr) {
            auto* connection = static_cast<TcsSocketConnection*>(DatasetConnection(*dataset));
            TODBCClient& client = connection->Client();
            if (dataset->Prepared()) {
                // A "clear" since the dataset prepared (all rows read, the
                // dataset closed) dropped the server's prepared statement:
                // prepare it again rather than send values to nothing.
                if (!connection->HoldsPrepared(statement)) {
                    connection->ForgetPrepared();
                    client.PrepareStatement(statement);
                    connection->SetPrepared(statement);
                }
                QList<QByteArray> values;
                if (params != nullptr) {
                    for (const TParam& param : *params)
                        values.append(param.AsText());
                }
                client.ExecutePrepared(values);
            } else {
                client.ExecuteQuery(bind ? BindParameters(statement, params) : statement);
            }
            rows = client.RowsAffected();
        } else {
            const QByteArray text = bind ? BindParameters(statement, params) : statement;
            TODBCClient& client = Main();
            client.ExecuteCommand(text);
            rows = client.RowsAffected();
        }
    } catch (...) {
        trace();
        throw;
    }
    trace();
    return static_cast<int>(std::clamp<qint64>(rows, -1, std::numeric_limits<int>::max()));
}

void TcsSocketDriver::ExecuteBatch(const QByteArrayList& statements)
{
    if (statements.isEmpty())
        return;
    if (statements.size() == 1) {
        Execute(statements.first(), nullptr, nullptr);
        return;
    }
    Main().ExecuteBatch(statements);
}

void TcsSocketDriver::PrepareStatement(const QByteArray& statement, TcsDataset& dataset)
{
    auto* connection = static_cast<TcsSocketConnection*>(DatasetConnection(dataset));
    connection->ForgetPrepared();
    connection->Client().PrepareStatement(statement);
    connection->SetPrepared(statement);
}

void TcsSocketDriver::UnprepareStatement(TcsDataset& dataset)
{
    ClearConnection(dataset.Connection());
}

void TcsSocketDriver::TransactionCommand(TcsTransactionCommand command)
{
    if (command == tcStart) {
        Main().StartTransaction();
        m_inTransaction = true;
        return;
    }
    if (!m_inTransaction)
        throw EODBCError(QStringLiteral("No transaction active."));
    if (command == tcCommit)
        Main().Commit();
    else
        Main().Rollback();
    m_inTransaction = false;
}

// ---- result sets -----------------------------------------------------------------------

bool TcsSocketDriver::InitFieldDefs(TcsDataset& dataset)
{
    if (dataset.Connection() == nullptr)
        return false;
    const TODBCClient& client = ClientOf(dataset.Connection());
    m_fieldCount = client.ResultFieldCount();
    if (m_fieldCount == 0)
        return false;
    const TODBCFieldList& fields = client.ResultFields();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const TODBCField& field = fields.at(i).field;
        const QByteArray& name = field.Name.isEmpty() ? fields.at(i).key : field.Name;
        dataset.AddFieldDef(HostCodec::host().decode(name), fieldTypeOf(field.DataType), field.Size, field.Required,
                            field.ReadOnly, static_cast<int>(i));
    }
    return true;
}

void TcsSocketDriver::SetFieldOrigins(TcsDataset& dataset)
{
    if (dataset.Connection() == nullptr)
        return;
    const TODBCFieldList& fields = ClientOf(dataset.Connection()).ResultFields();
    for (int i = 0; i < dataset.FieldCount(); ++i) {
        TField& field = dataset.Fields(i);
        if (!field.Calculated() && field.FieldNo() >= 1 && field.FieldNo() <= fields.size())
            field.SetOrigin(fields.at(field.FieldNo() - 1).field.Origin);
    }
}

bool TcsSocketDriver::FetchRow(TcsDataset& dataset, char* buffer)
{
    if (dataset.Connection() == nullptr)
        return false;
    TODBCClient& client = ClientOf(dataset.Connection());
    if (client.EndOfData())
        return false;
    SetFetchDataset(&dataset);
    struct Forget {
        TcsSocketDriver& driver;
        ~Forget() { driver.SetFetchDataset(nullptr); }
    } forget{*this};

    const QList<QByteArray>& values = client.RowValues();
    const bool trim = dataset.QueryOptions().contains(TrimAllStrings);
    char slot[64];
    for (int i = 0; i < dataset.FieldCount(); ++i) {
        const TField& field = dataset.Fields(i);
        const int fieldNo = field.FieldNo();
        if (field.Calculated() || fieldNo < 1)
            continue;
        if (fieldNo > values.size())
            throw EODBCError(QStringLiteral("A row of %1 values has no value for column %2 (%3)")
                                 .arg(values.size())
                                 .arg(fieldNo)
                                 .arg(field.FieldName()));
        const QByteArray& text = values.at(fieldNo - 1);
        const TFieldType type = field.DataType();
        const std::optional<TODBCFieldKind> kind = rowKindOf(type);
        if (isNullValue(text) || !kind) {
            StoreNullValue(fieldNo, buffer);
            continue;
        }
        if (*kind == TODBCFieldKind::String || *kind == TODBCFieldKind::Bytes) {
            // Text goes into its slot as it stands in the row (the common
            // case: no value object in between).
            const QByteArrayView bytes =
                trim || *kind == TODBCFieldKind::Bytes ? trimTrailing(text) : QByteArrayView(text);
            const int room = dataset.SlotWidth(fieldNo) - (isStringType(type) ? 1 : 0);
            StoreFieldValue(fieldNo, bytes.data(),
                            static_cast<int>(std::min<qsizetype>(bytes.size(), room)), buffer);
            continue;
        }
        const QVariant value = decodeValue(*kind, text, trim);
        if (!value.isValid()) {
            StoreNullValue(fieldNo, buffer);
        } else if (type == ftBlob || type == ftMemo) {
            StoreBlobValue(field, value.toByteArray(), buffer);
        } else if (isStringType(type) || type == ftBytes || type == ftVarBytes) {
            const QByteArray bytes = value.toByteArray();
            // Strings keep their terminating NUL inside the slot.
            const int room = dataset.SlotWidth(fieldNo) - (isStringType(type) ? 1 : 0);
            StoreFieldValue(fieldNo, bytes.constData(), static_cast<int>(std::min<qsizetype>(bytes.size(), room)),
                            buffer);
        } else {
            const int width = dataset.SlotWidth(fieldNo);
            fieldbuffer::write(type, value, slot, width);
            StoreFieldValue(fieldNo, slot, width, buffer);
        }
    }
    client.NextRow();
    return true;
}

// ---- catalogue ---------------------------------------------------------------------------

void TcsSocketDriver::SystemRequest(int kind, const QByteArray& argument, QByteArrayList& list)
{
    Main().SystemRequest(kind, argument, list);
}

void TcsSocketDriver::GetDatabaseNames(QByteArrayList& list)
{
    SystemRequest(TODBCSystemRequest::DatabaseNames, {}, list);
}

void TcsSocketDriver::GetTableNames(const QByteArray& name, QByteArrayList& list)
{
    SystemRequest(TODBCSystemRequest::TableNames, name, list);
}

void TcsSocketDriver::GetIndexNames(const QByteArray& table, QByteArrayList& list)
{
    SystemRequest(TODBCSystemRequest::IndexNames, table, list);
}

void TcsSocketDriver::GetIndexFields(const QByteArray& table, const QByteArray& index, QByteArrayList& list)
{
    SystemRequest(TODBCSystemRequest::IndexFields, table + ';' + index, list);
}

void TcsSocketDriver::GetDefaultIndexFields(const QByteArray& table, QByteArrayList& list)
{
    SystemRequest(TODBCSystemRequest::DefaultIndexFields, table, list);
}

bool TcsSocketDriver::RequestWithoutLogin(int kind, QByteArrayList& list, const QString& server,
                                          int timeoutSeconds, quint16 port)
{
    if (m_mainConnection != nullptr) {
        ClientOf(m_mainConnection).SystemRequest(kind, {}, list);
        return true;
    }
    TODBCClient client(server, timeoutSeconds * 1000, port);
    client.SystemRequest(kind, {}, list);
    return true;
}

void TcsSocketDriver::GetDataSourceNames(QByteArrayList& list, const QString& server, int timeoutSeconds, int port)
{
    RequestWithoutLogin(TODBCSystemRequest::DataSourceNames, list, server, timeoutSeconds,
                        static_cast<quint16>(port));
}

bool TcsSocketDriver::GetCustomData(QByteArrayList& list)
{
    try {
        return RequestWithoutLogin(TODBCSystemRequest::CustomData, list, m_loginServer, m_timeout, m_port);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace lystra
