#include "vidazevivuprocess.h"

#include "platform/exception.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

namespace lystra::test {

namespace {

constexpr int kStartMs = 30000;
constexpr int kStopMs = 10000;

QString logPath(const QTemporaryDir& root)
{
    return root.filePath(QStringLiteral("vidazevivu.log"));
}

} // namespace

QString VidazevivuProcess::binaryPath()
{
    return QStringLiteral(LYSTRA_VIDAZEVIVU_PATH);
}

void VidazevivuProcess::initDemo(const QString& dataDir)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(binaryPath(), {QStringLiteral("--init-demo"), QStringLiteral("--data"), dataDir});
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw Exception(QStringLiteral("vidazevivu --init-demo failed: %1")
                            .arg(QString::fromUtf8(process.readAll()) + process.errorString()));
}

VidazevivuProcess::VidazevivuProcess() : VidazevivuProcess(Options{}) {}

VidazevivuProcess::VidazevivuProcess(const Options& options)
{
    if (!m_root.isValid())
        throw Exception(QStringLiteral("Cannot create a temporary folder for vidazevivu"));
    QDir(m_root.path()).mkpath(QStringLiteral("data"));
    if (options.initDemo)
        initDemo(dataDir());
    start(options);
}

VidazevivuProcess::~VidazevivuProcess()
{
    stop();
}

QString VidazevivuProcess::dataDir() const
{
    return m_root.filePath(QStringLiteral("data"));
}

QByteArray VidazevivuProcess::log() const
{
    QFile file(logPath(m_root));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool VidazevivuProcess::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

void VidazevivuProcess::start(const Options& options)
{
    QStringList arguments = {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--data"),
                             dataDir()};
    if (!options.configText.isEmpty()) {
        const QString path = m_root.filePath(QStringLiteral("vidazevivu.ini"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(options.configText) != options.configText.size())
            throw Exception(QStringLiteral("Cannot write %1").arg(path));
        arguments << QStringLiteral("--config") << path;
    }
    arguments << options.arguments;
    m_process = std::make_unique<QProcess>();
    // A file, not a pipe: nobody reads a pipe while a test runs, and a full
    // pipe would stop the server in the middle of a log line.
    m_process->setStandardErrorFile(logPath(m_root));
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->start(binaryPath(), arguments);
    if (!m_process->waitForStarted(kStartMs))
        throw Exception(QStringLiteral("Cannot start %1: %2").arg(binaryPath(), m_process->errorString()));
    waitUntilListening();
}

void VidazevivuProcess::waitUntilListening()
{
    static const QRegularExpression listening(QStringLiteral("listening on [^ ]*:(\\d+)"));
    const QDeadlineTimer deadline(kStartMs);
    while (!deadline.hasExpired()) {
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(log()));
        if (match.hasMatch()) {
            m_port = quint16(match.captured(1).toUInt());
            return;
        }
        if (m_process->waitForFinished(20))
            break;
    }
    const QString why = QString::fromUtf8(log());
    stop();
    throw Exception(QStringLiteral("vidazevivu did not start listening: %1").arg(why));
}

void VidazevivuProcess::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(kStopMs)) {
            m_process->kill();
            m_process->waitForFinished(kStopMs);
        }
    }
    m_process.reset();
}

} // namespace lystra::test
