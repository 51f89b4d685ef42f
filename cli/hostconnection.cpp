#include "cli/hostconnection.h"

#include "cli/clierror.h"

#include "db/tcsdatabase.h"
#include "db/tcssocketdriver.h"
#include "platform/inifile.h"
#include "printfiles/tprintfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace lystra::cli {

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");
constexpr quint16 kDefaultPort = 8888;

} // namespace

struct HostConnection::State {
    std::unique_ptr<TcsDatabase> database;
};

QString HostConnection::SettingsFileIn(const QString& programDir)
{
    const QDir dir(programDir);
    for (const QString& name : {QStringLiteral("lystra-cli.ini"), QStringLiteral("lystra.ini"),
                                QStringLiteral("Morvane.ini")}) {
        if (QFileInfo(dir.filePath(name)).isFile())
            return dir.filePath(name);
    }
    return {};
}

HostConnection::HostConnection(const QString& server, quint16 port) : m_state(std::make_unique<State>())
{
    const QString settingsFile = SettingsFileIn(QCoreApplication::applicationDirPath());
    const IniFile settings = settingsFile.isEmpty() ? IniFile() : IniFile(settingsFile);
    QString address = server;
    if (address.isEmpty())
        address = settings.readString(QStringLiteral("Lystra"), QStringLiteral("VIDAZevivu"), kLoopback).trimmed();
    if (address.isEmpty())
        address = kLoopback;
    if (port == 0) {
        const int setting = settings.readInteger(QStringLiteral("Lystra"), QStringLiteral("Port"), kDefaultPort);
        port = setting > 0 && setting <= 65535 ? quint16(setting) : kDefaultPort;
    }

    auto database = std::make_unique<TcsDatabase>();
    database->SetTag(0);
    database->SetName(QStringLiteral("IBM_DB"));
    database->SetLoginPrompt(false);
    database->SetRemoteDatasource(QString::fromLatin1(TPrintFiles::kHostDatabaseName));
    database->SetRemoteGateway(address);
    database->SocketDriver().SetPort(port);
    try {
        database->Open();
    } catch (const Exception& error) {
        throw CliError(ExitServer, QStringLiteral("Databasserver %1, %2 svarar inte ...\n%3")
                                       .arg(database->RemoteGateway(), database->RemoteDatasource(),
                                            error.message()));
    }
    m_state->database = std::move(database);
}

HostConnection::~HostConnection() = default;

TcsCustomDatabase& HostConnection::Database() const
{
    return *m_state->database;
}

} // namespace lystra::cli
