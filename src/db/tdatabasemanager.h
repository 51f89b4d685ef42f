#pragma once

#include <QByteArrayList>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace lystra {

class IniFile;
class TcsDatabase;

// The kinds of database the program knows; a kind is also the tag of its
// TcsDatabase. Plain integers 0..3 are accepted wherever a kind is asked for.
enum TDatabaseKind : int {
    dkHost = 0,  // component "IBM_DB": the host database with the print queue
    dkSql = 1,   // component "SQL_DB"
    dkOpen = 2,  // component "OPEN_DB"
    dkSpool = 3, // component "SPL_DB"
};

// What ConnectedDatabase does when the server does not answer: show one
// modal error box with an OK button, then ask the application to end. The
// engine's default writes the message to the log and asks the Qt
// application to exit with code 1 once its event loop runs; a GUI program
// installs a message box (db/widgets), tests a recorder.
class TConnectFailureHandler {
public:
    virtual ~TConnectFailureHandler();
    // Shows `message` and returns when the user has confirmed it.
    virtual void ShowError(const QString& message) = 0;
    // Asks the program to end once control returns to its event loop.
    virtual void Terminate() = 0;
};

// The process-wide registry of database connections, one TcsDatabase per
// kind, created on first demand and owned by the manager.
//
// Settings come from an INI file read once when the manager is created:
// the program file's path with its extension replaced by ".ini", else
// "Morvane.ini" in the program's folder, else defaults only. Keys:
//   [System]     DebugSQL    boolean (integer)  false   TraceSQL()
//   [Lystra]     VIDAZevivu  text   127.0.0.1  server of kinds 0, 1, 3
//   [Lystra]     Port        integer     8888  gateway port of kinds 0, 1, 3
//   [OpenServer] Server      text   127.0.0.1  server of kind 2
//   [OpenServer] Port        integer     8888  gateway port of kind 2
//   [iSeries]    Database    text              database of kind 0
//   [BlobServer] Database    text              database of kind 1
//   [OpenServer] Database    text              database of kind 2
// Database names are resolved once per kind and then kept:
//   kind 0: HostDatabaseName(); [iSeries] Database; the registry value
//           "Current_iSeries_db_Name" under "Software\QUORVIK"; the value
//           "DB" of the server's custom data (ServerInfo); "QS36F"
//   kind 1: [BlobServer] Database; "LEVBAS"
//   kind 2: [OpenServer] Database; "DRIFT"
//   kind 3: "LYSTRA"
//
// Used from the user-interface thread only.
class TDatabaseManager {
public:
    // The process-wide manager, created on the first call. Throws
    // lystra::Exception "dbManager shut-down in progress." once ShutDown()
    // has started.
    static TDatabaseManager& Manager();
    // Frees the manager with every database and clears the resolved names
    // and HostDatabaseName; later calls of Manager() fail.
    static void ShutDown();
    // As ShutDown(), then allows a new manager (tests, a restarted program).
    static void Reset();

    // The program file whose settings file is read; defaults to the running
    // program. Takes effect for the next manager created.
    static void SetProgramFile(const QString& path);
    // The host database name that takes precedence for kind 0 (the print
    // queue sets "LYSTRA"); effective until kind 0's name was resolved.
    static QString HostDatabaseName();
    static void SetHostDatabaseName(const QString& name);
    // Takes no ownership; nullptr restores the default handler.
    static void SetConnectFailureHandler(TConnectFailureHandler* handler);
    // Whether a failed ConnectedDatabase asked the program to end; a program
    // checks it before it shows its first window. Cleared by Reset().
    static bool TerminationRequested();

    // Reads the settings of `settingsFile` (empty: no file, defaults only).
    explicit TDatabaseManager(const QString& settingsFile);
    ~TDatabaseManager();
    TDatabaseManager(const TDatabaseManager&) = delete;
    TDatabaseManager& operator=(const TDatabaseManager&) = delete;

    // The settings file for a program file: "<path without extension>.ini"
    // if it exists, else "Morvane.ini" beside it if that exists, else empty.
    static QString SettingsFileFor(const QString& programFile);
    // The settings file this manager read, empty when there was none.
    const QString& SettingsFile() const noexcept { return m_settingsFile; }

    // The database of the kind, created if needed, not connected by this
    // call. When the kind's resolved name differs from the database's
    // "DBQ", the database is closed and re-pointed first. Throws
    // lystra::Exception for a kind outside 0..3.
    TcsDatabase* Database(int kind);
    // Database(kind), connected. When connecting fails, shows
    // "Databasserver <address>, <database> svarar inte ..." with a line break
    // and the error's message through the failure handler, asks for
    // termination and answers the unconnected database (check Connected()).
    TcsDatabase* ConnectedDatabase(int kind);
    // The DataBaseName of the connected database of the kind ("IBM_DB"),
    // the name under which datasets find it.
    QString DatabaseName(int kind);
    // The kind's resolved database name, resolved on first use.
    QString DatabaseNameOf(int kind);
    // The server address of the kind, trimmed; 127.0.0.1 without setting.
    QString ServerAddress(int kind) const;
    // The gateway port of the kind; 8888 without setting.
    quint16 ServerPort(int kind) const;
    // Overrides the settings' server address and port for every kind (a
    // command line's --server and --port); an empty address or a port of 0
    // keeps the setting. Applies to databases created afterwards.
    void OverrideServer(const QString& address, quint16 port);
    // Replaces `list` with the server's custom data lines (key=value), asked
    // from the kind-0 server over a connection of its own. Failures are
    // swallowed and leave the list as far as it was filled.
    void ServerInfo(QByteArrayList& list);
    // The "DebugSQL" setting: open the SQL log for the host database.
    bool TraceSQL() const noexcept { return m_traceSQL; }
    // The login-prompt flag given to new databases; false.
    bool LoginPrompt() const noexcept { return m_loginPrompt; }

private:
    QString Setting(const QString& section, const QString& key) const;
    QString ResolveName(int kind);

    QString m_settingsFile;
    std::unique_ptr<IniFile> m_settings; // absent when no file exists
    QList<TcsDatabase*> m_databases;     // owned
    bool m_loginPrompt = false;
    bool m_traceSQL = false;
    QString m_serverOverride;
    quint16 m_portOverride = 0;
};

} // namespace lystra
