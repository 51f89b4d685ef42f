#pragma once

#include "db/tcsconnectionpool.h"
#include "db/tcscustomsqldriver.h"
#include "platform/exception.h"

#include <QString>

#include <memory>

namespace lystra {

class TODBCClient;

// One gateway connection in the driver's pool or in use.
class TcsSocketConnection : public TcsConnection {
public:
    explicit TcsSocketConnection(std::unique_ptr<TODBCClient> client);
    ~TcsSocketConnection() override;

    TODBCClient& Client() const noexcept { return *m_client; }

    // The statement the server holds prepared for this connection, as far
    // as the driver knows: set by a "prep", gone with every "clear" (which
    // drops the server's prepared statement together with its result set).
    bool HoldsPrepared(const QByteArray& statement) const noexcept
    {
        return m_holdsPrepared && m_preparedStatement == statement;
    }
    void SetPrepared(const QByteArray& statement)
    {
        m_preparedStatement = statement;
        m_holdsPrepared = true;
    }
    void ForgetPrepared()
    {
        m_preparedStatement.clear();
        m_holdsPrepared = false;
    }

private:
    std::unique_ptr<TODBCClient> m_client;
    QByteArray m_preparedStatement;
    bool m_holdsPrepared = false;
};

// The driver over the gateway protocol. It opens TODBCClient connections to
// LoginServer:Port, logs them in with the database's "DBQ", "UID" and
// "PWD", hands one to each dataset that executes, keeps a main connection of
// its own for statements without result set, transactions and catalogue
// requests, and parks idle connections (after a "clear") in its pool, up to
// the pool size.
//
// Connection failures raise the protocol client's errors; with the
// database's OnConnectError assigned a failed connect calls it (Sender: this
// driver) and the acquire answers none instead.
class TcsSocketDriver : public TcsCustomSQLDriver {
public:
    // The driver's own protocol error, distinct from the client's EODBCError.
    class EODBCError : public Exception {
    public:
        using Exception::Exception;
    };

    TcsSocketDriver();
    ~TcsSocketDriver() override;

    quint16 Port() const noexcept { return m_port; }
    void SetPort(quint16 port) { m_port = port; }
    // Seconds allowed for establishing a TCP connection.
    int Timeout() const noexcept { return m_timeout; }
    void SetTimeout(int seconds) { m_timeout = seconds; }

    bool DriverConnected() const noexcept { return m_driverConnected; }
    const QString& LoginServer() const noexcept { return m_loginServer; }
    void SetLoginServer(const QString& server) { m_loginServer = server; }
    const QString& LoginDatabase() const noexcept { return m_loginDatabase; }
    const QString& LoginUser() const noexcept { return m_loginUser; }
    const QString& LoginPassword() const noexcept { return m_loginPassword; }
    int FieldCount() const noexcept { return m_fieldCount; }
    bool InTransactionFlag() const noexcept { return m_inTransaction; }
    TcsConnection* MainConnection() const noexcept { return m_mainConnection; }
    TcsConnectionPool& Pool() noexcept { return m_pool; }

    // "sys customdata " on the main connection, or on a connection of its
    // own (without login) to LoginServer when there is none. Answers whether
    // the request worked; swallows every error.
    bool GetCustomData(QByteArrayList& list);

    void SetFieldOrigins(TcsDataset& dataset) override;
    void SetPoolSize(int count) override;
    void Disconnect() override;
    void Connect() override;
    void TransactionCommand(TcsTransactionCommand command) override;
    bool InTransaction() override { return m_inTransaction; }
    void GetDefaultIndexFields(const QByteArray& table, QByteArrayList& list) override;
    void GetIndexFields(const QByteArray& table, const QByteArray& index, QByteArrayList& list) override;
    void GetIndexNames(const QByteArray& table, QByteArrayList& list) override;
    void GetTableNames(const QByteArray& name, QByteArrayList& list) override;
    void GetDatabaseNames(QByteArrayList& list) override;
    void GetDataSourceNames(QByteArrayList& list, const QString& server, int timeoutSeconds, int port) override;
    int Execute(const QByteArray& statement, TParams* params, TcsDataset* dataset) override;
    bool InitFieldDefs(TcsDataset& dataset) override;
    bool FetchRow(TcsDataset& dataset, char* buffer) override;
    void ReleaseConnection(TcsConnection*& connection) override;
    void ClearConnection(TcsConnection* connection) override;
    TcsConnection* AcquireConnection() override;
    void PrepareStatement(const QByteArray& statement, TcsDataset& dataset) override;
    void UnprepareStatement(TcsDataset& dataset) override;
    void ExecuteBatch(const QByteArrayList& statements) override;

private:
    static TODBCClient& ClientOf(TcsConnection* connection);
    TcsConnection* OpenConnection();
    TODBCClient& Main();
    void SystemRequest(int kind, const QByteArray& argument, QByteArrayList& list);
    bool RequestWithoutLogin(int kind, QByteArrayList& list, const QString& server, int timeoutSeconds,
                             quint16 port);
    void FreePool(int keep);

    quint16 m_port = 8888;
    int m_timeout = 30;
    bool m_driverConnected = false;
    QString m_loginServer;
    QString m_loginDatabase;
    QString m_loginUser;
    QString m_loginPassword;
    int m_fieldCount = 0;
    bool m_inTransaction = false;
    TcsConnection* m_mainConnection = nullptr;
    TcsConnectionPool m_pool;
};

} // namespace lystra
