#include "demoservers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <map>
#include <memory>

using lystra::test::VidazevivuProcess;

namespace {

struct Servers {
    std::unique_ptr<QTemporaryDir> odbcDir;
    std::map<Backend, std::unique_ptr<VidazevivuProcess>> running;
};

Servers& servers()
{
    static Servers instance;
    return instance;
}

// Stops the shared servers when the test program ends, before Qt goes away.
class StopServers : public ::testing::Environment {
public:
    void TearDown() override
    {
        servers().running.clear();
        servers().odbcDir.reset();
    }
};

const auto* const g_stop = ::testing::AddGlobalTestEnvironment(new StopServers);

QTemporaryDir& odbcDir()
{
    Servers& s = servers();
    if (!s.odbcDir)
        s.odbcDir = std::make_unique<QTemporaryDir>();
    return *s.odbcDir;
}

} // namespace

std::string backendName(const ::testing::TestParamInfo<Backend>& info)
{
    return info.param == Backend::Embedded ? "Embedded" : "Odbc";
}

QString sqliteOdbcDriver()
{
    for (const char* path : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so",
                             "/usr/lib/odbc/libsqlite3odbc.so", "/usr/lib64/libsqlite3odbc.so"}) {
        if (QFileInfo::exists(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    }
    return {};
}

QString odbcConnection(const QString& databaseFile)
{
    QTemporaryDir& dir = odbcDir();
    const QString ini = dir.filePath(QStringLiteral("odbcinst.ini"));
    if (!QFileInfo::exists(ini)) {
        QFile file(ini);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=" + sqliteOdbcDriver().toUtf8() + "\n");
        QFile(dir.filePath(QStringLiteral("odbc.ini"))).open(QIODevice::WriteOnly);
        // The server inherits these: only this file's drivers, no user DSNs.
        qputenv("ODBCSYSINI", QFile::encodeName(dir.path()));
        qputenv("ODBCINI", QFile::encodeName(dir.filePath(QStringLiteral("odbc.ini"))));
    }
    return QStringLiteral("DRIVER=SQLite3;Database=%1;Timeout=5000").arg(databaseFile);
}

VidazevivuProcess* demoServer(Backend backend)
{
    Servers& s = servers();
    auto found = s.running.find(backend);
    if (found != s.running.end())
        return found->second.get();
    VidazevivuProcess::Options options;
    options.configText = "[CustomData]\nDB=ARKIV\n";
    if (backend == Backend::Embedded) {
        options.initDemo = true;
    } else {
        if (sqliteOdbcDriver().isEmpty())
            return nullptr;
        // The demo file lives outside the data folder; the name LYSTRA is the
        // configured ODBC source.
        QTemporaryDir& dir = odbcDir();
        const QString demo = dir.filePath(QStringLiteral("demo"));
        if (!QFileInfo::exists(demo + QStringLiteral("/LYSTRA.sqlite")))
            VidazevivuProcess::initDemo(demo);
        options.configText += "[Databases]\nLYSTRA=odbc:" + odbcConnection(demo + QStringLiteral("/LYSTRA.sqlite")).toUtf8() + "\n";
    }
    auto server = std::make_unique<VidazevivuProcess>(options);
    VidazevivuProcess* started = server.get();
    s.running.emplace(backend, std::move(server));
    return started;
}

void BackendTest::SetUp()
{
    m_server = demoServer(GetParam());
    if (!m_server)
        GTEST_SKIP() << "the SQLite ODBC driver is not installed";
}
