#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace lystra {

class IniFile;

// A database a connection may open, named in the configuration file.
struct DatabaseDefinition {
    enum class Kind { Sqlite, Odbc };
    QString name;
    Kind kind = Kind::Sqlite;
    QString target; // Sqlite: the file's absolute path; Odbc: the connection string
    // Host SQL is adapted (" with NC" removed) unless the source is the
    // host's own database, which understands it.
    bool adaptHostSql = true;
};

struct UserAccount {
    QString name;
    QString password;
};

// Everything the server is told at start-up, by the configuration file and
// the command line (which wins). Immutable while the server runs.
struct ServerConfig {
    QString listenHost = QStringLiteral("127.0.0.1");
    quint16 listenPort = 8888;
    QString dataDir;                  // embedded databases: NAME.sqlite in here
    int maxConnections = 1000;        // connections beyond this get the "300" greeting
    qsizetype maxLineLength = 1 << 20;       // longest command or statement line in bytes
    qsizetype maxResultBytes = 256ll << 20;  // row text one result set may hold in memory
    QByteArray greeting = QByteArrayLiteral("200 VIDAZEVIVU 1.8");
    QByteArray codePage = QByteArrayLiteral("windows-1252");
    QString dateFormat = QStringLiteral("yyyy-MM-dd");
    QString timeFormat = QStringLiteral("HH:mm:ss");
    bool allowSetConfig = false;      // "sys setconfig" changes the custom data lines
    QList<UserAccount> users;         // empty: "open" accepts any user
    QList<DatabaseDefinition> databases;
    QStringList customData;           // "key=value" lines of "sys customdata "
};

// Reads the configuration file's sections into `config`:
//   [Server]     Listen, Data, MaxConnections, MaxLineLength, MaxResultBytes,
//                Greeting, CodePage, DateFormat, TimeFormat, AllowSetConfig
//   [Users]      NAME=password
//   [Databases]  NAME=sqlite:PATH | odbc:CONNECTION | odbc-native:CONNECTION
//                (a value without prefix is an ODBC connection string)
//   [CustomData] key=value lines, handed out in file order
// Relative paths are taken from `baseDir`. Throws lystra::Exception naming
// the key when a value is invalid.
void applyIniFile(ServerConfig& config, const IniFile& ini, const QString& baseDir);
// The same for a file, relative paths taken from its folder; a missing or
// unreadable file is an error.
void loadConfigFile(ServerConfig& config, const QString& path);

// "HOST:PORT", "[IPv6]:PORT" or "PORT" (loopback). Throws lystra::Exception.
void applyListenAddress(ServerConfig& config, const QString& text);

// Checks values that every source may set (greeting on one line, code page
// known, limits positive). Throws lystra::Exception.
void validate(const ServerConfig& config);

} // namespace lystra
