#include "db/tdatabasemanager.h"

#include "db/tcsdatabase.h"
#include "db/tcssocketdriver.h"
#include "platform/exception.h"
#include "platform/inifile.h"
#include "platform/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QtDebug>

#include <array>
#include <exception>

namespace lystra {

namespace {

constexpr int kKindCount = 4;
const QString kLoopback = QStringLiteral("127.0.0.1");
constexpr quint16 kDefaultPort = 8888;

const std::array<QString, kKindCount> kComponentNames = {
    QStringLiteral("IBM_DB"), QStringLiteral("SQL_DB"), QStringLiteral("OPEN_DB"),
    QStringLiteral("SPL_DB")};

// The engine's own handler: no window to show, so the message goes to the
// log, and the Qt application (if any) is asked to end.
class LogConnectFailureHandler : public TConnectFailureHandler {
public:
    void ShowError(const QString& message) override { qCritical().noquote() << message; }
    void Terminate() override
    {
        // Queued, so that it also ends a program whose event loop has not
        // started yet (exit() alone does nothing then).
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    }
};

// The values of the manager's unit that outlive single managers.
struct ProcessState {
    std::unique_ptr<TDatabaseManager> manager;
    bool shuttingDown = false;
    QString programFile;
    QString hostDatabaseName;
    std::array<QString, kKindCount> resolvedNames;
    TConnectFailureHandler* handler = nullptr;
    bool terminationRequested = false;
};

ProcessState& state()
{
    static ProcessState s;
    return s;
}

TConnectFailureHandler& failureHandler()
{
    static LogConnectFailureHandler fallback;
    return state().handler != nullptr ? *state().handler : fallback;
}

void CheckKind(int kind)
{
    if (kind < 0 || kind >= kKindCount)
        throw Exception(QStringLiteral("Unknown database kind %1").arg(kind));
}

// The message of whatever a failed connect raised.
QString MessageOf(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const Exception& error) {
        return error.message();
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QString();
    }
}

} // namespace

TConnectFailureHandler::~TConnectFailureHandler() = default;

// ---- process-wide -----------------------------------------------------------

TDatabaseManager& TDatabaseManager::Manager()
{
    ProcessState& s = state();
    if (s.shuttingDown)
        throw Exception(QStringLiteral("dbManager shut-down in progress."));
    if (!s.manager) {
        QString program = s.programFile;
        if (program.isEmpty() && QCoreApplication::instance() != nullptr)
            program = QCoreApplication::applicationFilePath();
        s.manager = std::make_unique<TDatabaseManager>(SettingsFileFor(program));
    }
    return *s.manager;
}

void TDatabaseManager::ShutDown()
{
    ProcessState& s = state();
    s.shuttingDown = true;
    s.manager.reset();
    for (QString& name : s.resolvedNames)
        name.clear();
    s.hostDatabaseName.clear();
}

void TDatabaseManager::Reset()
{
    ShutDown();
    state().shuttingDown = false;
    state().terminationRequested = false;
}

bool TDatabaseManager::TerminationRequested()
{
    return state().terminationRequested;
}

void TDatabaseManager::SetProgramFile(const QString& path)
{
    state().programFile = path;
}

QString TDatabaseManager::HostDatabaseName()
{
    return state().hostDatabaseName;
}

void TDatabaseManager::SetHostDatabaseName(const QString& name)
{
    state().hostDatabaseName = name;
}

void TDatabaseManager::SetConnectFailureHandler(TConnectFailureHandler* handler)
{
    state().handler = handler;
}

QString TDatabaseManager::SettingsFileFor(const QString& programFile)
{
    if (programFile.isEmpty())
        return QString();
    const QFileInfo program(programFile);
    const QDir folder = program.absoluteDir();
    // The extension is what follows the last period of the file name.
    QString name = program.fileName();
    if (const qsizetype dot = name.lastIndexOf(u'.'); dot > 0)
        name.truncate(dot);
    const QString own = folder.filePath(name + QStringLiteral(".ini"));
    if (QFileInfo(own).isFile())
        return own;
    const QString shared = folder.filePath(QStringLiteral("Morvane.ini"));
    if (QFileInfo(shared).isFile())
        return shared;
    return QString();
}

// ---- the manager --------------------------------------------------------------

TDatabaseManager::TDatabaseManager(const QString& settingsFile) : m_settingsFile(settingsFile)
{
    if (!settingsFile.isEmpty() && QFileInfo(settingsFile).isFile()) {
        m_settings = std::make_unique<IniFile>(settingsFile);
        m_traceSQL =
            m_settings->readInteger(QStringLiteral("System"), QStringLiteral("DebugSQL"), 0) != 0;
    } else {
        m_settingsFile.clear();
    }
}

TDatabaseManager::~TDatabaseManager()
{
    // Last created first, as an owner frees its components.
    while (!m_databases.isEmpty())
        delete m_databases.takeLast();
}

QString TDatabaseManager::Setting(const QString& section, const QString& key) const
{
    if (!m_settings)
        return QString();
    return m_settings->readString(section, key, QString()).trimmed();
}

QString TDatabaseManager::ServerAddress(int kind) const
{
    CheckKind(kind);
    if (!m_serverOverride.isEmpty())
        return m_serverOverride;
    const QString address = kind == dkOpen
                                ? Setting(QStringLiteral("OpenServer"), QStringLiteral("Server"))
                                : Setting(QStringLiteral("Lystra"), QStringLiteral("VIDAZevivu"));
    return address.isEmpty() ? kLoopback : address;
}

quint16 TDatabaseManager::ServerPort(int kind) const
{
    CheckKind(kind);
    if (m_portOverride != 0)
        return m_portOverride;
    if (!m_settings)
        return kDefaultPort;
    const QString section =
        kind == dkOpen ? QStringLiteral("OpenServer") : QStringLiteral("Lystra");
    const int port = m_settings->readInteger(section, QStringLiteral("Port"), kDefaultPort);
    return port > 0 && port <= 65535 ? static_cast<quint16>(port) : kDefaultPort;
}

void TDatabaseManager::OverrideServer(const QString& address, quint16 port)
{
    m_serverOverride = address.trimmed();
    m_portOverride = port;
}

QString TDatabaseManager::DatabaseNameOf(int kind)
{
    CheckKind(kind);
    QString& resolved = state().resolvedNames[static_cast<std::size_t>(kind)];
    if (resolved.isEmpty())
        resolved = ResolveName(kind);
    return resolved;
}

QString TDatabaseManager::ResolveName(int kind)
{
    QString name;
    switch (kind) {
    case dkHost:
        name = HostDatabaseName();
        if (name.isEmpty())
            name = Setting(QStringLiteral("iSeries"), QStringLiteral("Database"));
        if (name.isEmpty()) {
            const SettingsStore registry(QStringLiteral("Software\\QUORVIK"));
            name = registry.readString(QString(), QStringLiteral("Current_iSeries_db_Name"), name);
        }
        if (name.isEmpty()) {
            QByteArrayList info;
            ServerInfo(info);
            for (const QByteArray& line : info) {
                const qsizetype equals = line.indexOf('=');
                if (equals > 0 &&
                    line.left(equals).trimmed().compare("DB", Qt::CaseInsensitive) == 0) {
                    name = QString::fromLatin1(line.mid(equals + 1).trimmed());
                    break;
                }
            }
        }
        if (name.isEmpty())
            name = QStringLiteral("QS36F");
        break;
    case dkSql:
        name = Setting(QStringLiteral("BlobServer"), QStringLiteral("Database"));
        if (name.isEmpty())
            name = QStringLiteral("LEVBAS");
        break;
    case dkOpen:
        name = Setting(QStringLiteral("OpenServer"), QStringLiteral("Database"));
        if (name.isEmpty())
            name = QStringLiteral("DRIFT");
        break;
    default:
        name = QStringLiteral("LYSTRA");
        break;
    }
    return name;
}

TcsDatabase* TDatabaseManager::Database(int kind)
{
    CheckKind(kind);
    for (TcsDatabase* database : std::as_const(m_databases)) {
        if (database->Tag() != kind)
            continue;
        const QString name = DatabaseNameOf(kind);
        if (name != database->RemoteDatasource()) {
            database->Close();
            database->SetRemoteDatasource(name);
        }
        return database;
    }
    auto database = std::make_unique<TcsDatabase>();
    database->SetTag(kind);
    database->SetName(kComponentNames[static_cast<std::size_t>(kind)]);
    database->SetRemoteDatasource(DatabaseNameOf(kind));
    database->SetRemoteGateway(ServerAddress(kind));
    database->SocketDriver().SetPort(ServerPort(kind));
    database->Params().Remove(u"UID");
    database->Params().Remove(u"PWD");
    if (kind == dkSql) {
        database->Params().SetValues(u"UID", QStringLiteral("QORVK"));
        database->Params().SetValues(u"PWD", QStringLiteral("TRAVO"));
    }
    database->SetLoginPrompt(m_loginPrompt);
    m_databases.append(database.get());
    return database.release();
}

TcsDatabase* TDatabaseManager::ConnectedDatabase(int kind)
{
    TcsDatabase* database = Database(kind);
    if (database->Connected())
        return database;
    std::exception_ptr failure;
    try {
        database->Open();
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        const QString message = QStringLiteral("Databasserver %1, %2 svarar inte ...")
                                    .arg(database->RemoteGateway(), database->RemoteDatasource()) +
                                QStringLiteral("\r\n") + MessageOf(failure);
        TConnectFailureHandler& handler = failureHandler();
        handler.ShowError(message);
        state().terminationRequested = true;
        handler.Terminate();
    }
    return database;
}

QString TDatabaseManager::DatabaseName(int kind)
{
    return ConnectedDatabase(kind)->DataBaseName();
}

void TDatabaseManager::ServerInfo(QByteArrayList& list)
{
    list.clear();
    try {
        TcsDatabase probe;
        probe.SetRemoteGateway(ServerAddress(dkHost));
        probe.SocketDriver().SetPort(ServerPort(dkHost));
        probe.GetCustomData(list);
    } catch (const std::exception&) {
        // Whatever arrived stays; the caller falls back to its next source.
    }
}

} // namespace lystra
