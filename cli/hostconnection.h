#pragma once

#include <QString>

#include <memory>

namespace lystra {
class TcsCustomDatabase;
}

namespace lystra::cli {

// The connection to the host database that holds the print queue, found the
// way the desktop program finds it: the settings file beside the program
// (lystra-cli.ini, else the desktop program's lystra.ini, else Morvane.ini)
// names the server in section "Lystra", key "VIDAZevivu" (127.0.0.1 without
// it) and its port under "Port" (8888); `server` and `port` given on the
// command line take precedence. The database is "LYSTRA". With "DebugSQL"
// set in section "System" every statement is written to stderr. The process-wide
// database manager holds the database; one connection at a time.
class HostConnection {
public:
    // Connects now. Raises CliError with ExitServer and the message
    // "Databasserver <address>, <database> svarar inte ..." followed by the
    // reason on the next line when the server does not answer.
    HostConnection(const QString& server, quint16 port);
    ~HostConnection();

    HostConnection(const HostConnection&) = delete;
    HostConnection& operator=(const HostConnection&) = delete;

    // The connected database; owned by the connection.
    TcsCustomDatabase& Database() const;

    // The settings file the program reads: the first of lystra-cli.ini,
    // lystra.ini and Morvane.ini that exists in `programDir`; empty if none.
    static QString SettingsFileIn(const QString& programDir);

private:
    // Frees the databases; the manager refuses further use afterwards.
    void Close();

    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace lystra::cli
