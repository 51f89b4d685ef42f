#include "cli/hostconnection.h"

#include "cli/clierror.h"
#include "db/tcsdatabase.h"
#include "db/tdatabasemanager.h"
#include "platform/hostcodec.h"
#include "printfiles/tprintfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace lystra::cli {

namespace {

// Hands the manager's failure report to the connection instead of a message
// box: the command line has no window, and the program ends by itself.
class FailureRecorder : public TConnectFailureHandler {
public:
    void ShowError(const QString& message) override { Message = message; }
    void Terminate() override {}

    QString Message;
};

} // namespace

struct HostConnection::State {
    FailureRecorder failure;
    TcsDatabase* database = nullptr; // owned by the database manager
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

HostConnection::HostConnection(const QString& server, quint16 port)
    : m_state(std::make_unique<State>())
{
    // The manager reads "<program>.ini", else "Morvane.ini": without a
    // settings file of its own the command line reads the desktop program's.
    const QString settings = SettingsFileIn(QCoreApplication::applicationDirPath());
    TDatabaseManager::SetProgramFile(
        settings.isEmpty() || QFileInfo(settings).fileName() == u"Morvane.ini"
            ? QCoreApplication::applicationFilePath()
            : QFileInfo(settings).absolutePath() + u'/' + QFileInfo(settings).completeBaseName());
    TDatabaseManager::SetHostDatabaseName(QString::fromLatin1(TPrintFiles::kHostDatabaseName));
    TDatabaseManager::SetConnectFailureHandler(&m_state->failure);
    try {
        TDatabaseManager& manager = TDatabaseManager::Manager();
        manager.OverrideServer(server, port);
        m_state->database = manager.ConnectedDatabase(dkHost);
        // Where the desktop program opens its SQL log, the command line
        // writes every statement to stderr.
        if (manager.TraceSQL()) {
            m_state->database->OnTraceSQL = [](const QByteArray& text) {
                const QByteArray line =
                    HostCodec::host().decode(text).trimmed().toLocal8Bit() + '\n';
                std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
            };
        }
    } catch (const Exception& error) {
        Close();
        throw CliError(ExitServer, error.message());
    }
    if (!m_state->database->Connected()) {
        const QString message = m_state->failure.Message;
        Close();
        throw CliError(ExitServer, message);
    }
}

HostConnection::~HostConnection()
{
    Close();
}

void HostConnection::Close()
{
    TDatabaseManager::ShutDown();
    TDatabaseManager::SetConnectFailureHandler(nullptr);
    m_state->database = nullptr;
}

TcsCustomDatabase& HostConnection::Database() const
{
    return *m_state->database;
}

} // namespace lystra::cli
