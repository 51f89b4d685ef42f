#pragma once

#include "db/tcscustomsqldriver.h"
#include "db/tcsdatabase.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

namespace lystra::test {

struct FakeColumn {
    FakeColumn(QString columnName = {}, TFieldType columnType = ftString, int columnSize = 0)
        : name(std::move(columnName))
        , type(columnType)
        , size(columnSize)
    {
    }

    QString name;
    TFieldType type = ftString;
    int size = 0;
    bool readOnly = false;
    QByteArray origin;
};

// A result set the fake server answers for one statement text. Row values
// follow db/fieldbuffer.h; an invalid QVariant is NULL.
struct FakeResult {
    QList<FakeColumn> columns;
    QList<QVariantList> rows;
    // Fetching row number `failAtRow` (0-based) raises, as a connection lost
    // in the middle of a fetch does.
    int failAtRow = -1;
};

class FakeConnection : public TcsConnection {
public:
    explicit FakeConnection(int number)
        : id(number)
    {
    }
    int id;
    int clears = 0;
    const FakeResult* result = nullptr;
    qsizetype row = 0;
    QByteArray prepared;
};

// A driver that answers from a table of statements instead of a server. It
// keeps a pool like the real one (so tests can count connections) and
// records what it was asked to run: statements after binding, with "?"
// markers replaced.
class FakeDriver : public TcsCustomSQLDriver {
public:
    ~FakeDriver() override;

    QHash<QByteArray, FakeResult> results; // by bound statement, trimmed
    QHash<QByteArray, QString> failures;   // bound statement (trimmed) -> error text
    int rowsAffected = 1;
    bool refuseLogin = false;

    QList<QByteArray> executed; // every bound statement, trimmed
    QList<QByteArray> commands; // those run without dataset
    int connectionsOpened = 0;
    int connectionsFreed = 0;
    int clears = 0;
    int connects = 0;
    bool driverConnected = false;
    bool inTransaction = false;
    QList<TcsTransactionCommand> transactionCommands;
    QList<FakeConnection*> pool;

    int LiveConnections() const { return connectionsOpened - connectionsFreed; }

    void Disconnect() override;
    void Connect() override;
    void TransactionCommand(TcsTransactionCommand command) override;
    bool InTransaction() override { return inTransaction; }
    void GetIndexFields(const QByteArray&, const QByteArray&, QByteArrayList&) override {}
    void GetIndexNames(const QByteArray&, QByteArrayList&) override {}
    void GetTableNames(const QByteArray&, QByteArrayList&) override {}
    void GetDatabaseNames(QByteArrayList&) override {}
    int Execute(const QByteArray& statement, TParams* params, TcsDataset* dataset) override;
    bool InitFieldDefs(TcsDataset& dataset) override;
    void SetFieldOrigins(TcsDataset& dataset) override;
    bool FetchRow(TcsDataset& dataset, char* buffer) override;
    void ReleaseConnection(TcsConnection*& connection) override;
    void ClearConnection(TcsConnection* connection) override;
    TcsConnection* AcquireConnection() override;
    void PrepareStatement(const QByteArray& statement, TcsDataset& dataset) override;
    void UnprepareStatement(TcsDataset& dataset) override;

private:
    void Free(TcsConnection* connection);
    int m_nextId = 1;
};

// A database over a FakeDriver, registered under `name`.
class FakeDatabase : public TcsCustomDatabase {
public:
    explicit FakeDatabase(const QString& name);
    ~FakeDatabase() override;

    FakeDriver driver;
};

} // namespace lystra::test
