// vidazevivu: the gateway server. Speaks the line protocol on TCP and runs
// SQL on embedded SQLite databases or ODBC data sources.

#include "server/databaseconnection.h"
#include "server/demodata.h"
#include "server/server.h"
#include "server/servercontext.h"
#include "server/serverconfig.h"
#include "server/serverlog.h"

#include "platform/exception.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace lystra;

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop through a pipe, so that the
// shutdown (connections closed, transactions rolled back) runs normally.
void quitOnSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

// Each connection holds a socket and a database file: allow as many open
// files as the system lets this process have.
void raiseFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

struct Options {
    QCommandLineOption listen{QStringLiteral("listen"),
                              QStringLiteral("Address to listen on (default 127.0.0.1:8888; a port alone listens on loopback)."),
                              QStringLiteral("host:port")};
    QCommandLineOption config{QStringLiteral("config"), QStringLiteral("Configuration file (INI)."),
                              QStringLiteral("file")};
    QCommandLineOption data{QStringLiteral("data"),
                            QStringLiteral("Folder of the embedded databases (NAME.sqlite); default: the current folder."),
                            QStringLiteral("dir")};
    QCommandLineOption maxConnections{QStringLiteral("max-connections"),
                                      QStringLiteral("Connections served at once (default 1000)."),
                                      QStringLiteral("n")};
    QCommandLineOption maxLineLength{QStringLiteral("max-line-length"),
                                     QStringLiteral("Longest command line in bytes (default 1048576)."),
                                     QStringLiteral("bytes")};
    QCommandLineOption greeting{QStringLiteral("greeting"),
                                QStringLiteral("Greeting line (default \"200 VIDAZEVIVU 1.8\")."),
                                QStringLiteral("text")};
    QCommandLineOption initDemo{QStringLiteral("init-demo"),
                                QStringLiteral("Create the demo database LYSTRA (users QSECOFR, ANNA, ERIK, MAJA) in the data folder and exit.")};
};

qlonglong number(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    bool ok = false;
    const qlonglong value = parser.value(option).toLongLong(&ok);
    if (!ok || value < 1)
        throw Exception(QStringLiteral("Invalid value for --%1: %2").arg(option.names().first(), parser.value(option)));
    return value;
}

ServerConfig configFrom(const QCommandLineParser& parser, const Options& options)
{
    ServerConfig config;
    if (parser.isSet(options.config)) {
        loadConfigFile(config, parser.value(options.config));
    }
    if (parser.isSet(options.data))
        config.dataDir = QDir(parser.value(options.data)).absolutePath();
    if (config.dataDir.isEmpty())
        config.dataDir = QDir::currentPath();
    if (parser.isSet(options.listen))
        applyListenAddress(config, parser.value(options.listen));
    if (parser.isSet(options.maxConnections))
        config.maxConnections = int(qMin<qlonglong>(number(parser, options.maxConnections), 100000));
    if (parser.isSet(options.maxLineLength))
        config.maxLineLength = number(parser, options.maxLineLength);
    if (parser.isSet(options.greeting))
        config.greeting = parser.value(options.greeting).toUtf8();
    return config;
}

int serve(QCoreApplication& app, const ServerConfig& config)
{
    ServerContext context(config);
    Server server(context);
    server.start();
    logLine(QStringLiteral("vidazevivu listening on %1:%2, data folder %3")
                .arg(server.serverAddress().toString())
                .arg(server.serverPort())
                .arg(config.dataDir));
    quitOnSignals(app);
    app.exec();
    logLine(QStringLiteral("vidazevivu stopping"));
    server.stop();
    if (server.connectionCount() > 0) {
        // A thread still inside a long statement: do not wait for it.
        logLine(QStringLiteral("vidazevivu stopped with %1 connections still busy").arg(server.connectionCount()));
        std::fflush(stderr);
        ::_exit(0);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vidazevivu"));
    std::signal(SIGPIPE, SIG_IGN);
    raiseFileLimit();
    configureEmbeddedEngine();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Gateway server of Lystra: runs SQL for its clients over a line protocol.\n"
        "\n"
        "Database X of \"open X user password\" is the file X.sqlite in the data folder (names\n"
        "without regard to case) or a database named in the configuration file. The file's\n"
        "sections: [Server] Listen, Data, MaxConnections, MaxLineLength, MaxResultBytes,\n"
        "Greeting, CodePage (wire code page, default windows-1252), DateFormat, TimeFormat,\n"
        "AllowSetConfig; [Users] NAME=password (when present, \"open\" checks them);\n"
        "[Databases] NAME=sqlite:PATH | odbc:CONNECTION | odbc-native:CONNECTION;\n"
        "[CustomData] key=value lines of \"sys customdata \" (e.g. DB=ARKIV).\n"
        "Command-line options win over the file. Connections beyond --max-connections get\n"
        "the greeting \"300 ...\" and are closed. SIGINT/SIGTERM stop the server; open\n"
        "transactions are rolled back."));
    parser.addHelpOption();
    const Options options;
    parser.addOptions({options.listen, options.config, options.data, options.maxConnections, options.maxLineLength,
                       options.greeting, options.initDemo});
    parser.process(app);
    try {
        const ServerConfig config = configFrom(parser, options);
        if (parser.isSet(options.initDemo)) {
            createDemoDatabase(config.dataDir);
            std::fprintf(stderr, "vidazevivu: demo database LYSTRA created in %s\n", qPrintable(config.dataDir));
            return 0;
        }
        return serve(app, config);
    } catch (const Exception& error) {
        std::fprintf(stderr, "vidazevivu: %s\n", error.what());
        return 1;
    }
}
