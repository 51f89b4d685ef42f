#pragma once

#include "printfiles/tprintfile.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace lystra::cli {

enum class Command { Help, Users, List, Show, Save, Table, Delete };

// One invocation of lystra-cli, as read from its command line.
struct Invocation {
    Command command = Command::Help;
    QString server;                // --server: empty keeps the settings file's address
    quint16 port = 0;              // --port: 0 keeps the settings file's port
    QString user;                  // USER as given (users: empty)
    QStringList ids;               // ID... (show, table: exactly one)
    std::optional<QDate> before;   // --before YYYYMMDD
    int page = 0;                  // --page N (show; 0: every page)
    TStorageFormat format = sfPdf; // --format (save)
    QString out;                   // --out FILE|DIR (save)
    QString filters;               // --filters FILE (table; empty: the default)
    QString csv;                   // --csv FILE (table)
};

// Reads the arguments after the program name. Options may come anywhere after
// the command, as "--name value" or "--name=value"; "--" ends the options.
// "--help" anywhere (or no arguments at all) asks for the help text. Raises
// CliError with ExitUsage and a message naming the fault for an unknown
// command or option, an option of another command, a missing or surplus
// argument, a missing option value, a port outside 1..65535, a date that is
// not eight digits of a valid date, a page number below 1, or a format other
// than spl, txt or pdf.
Invocation ParseArguments(const QStringList& arguments);

// The text of --help: the commands, the options and the exit codes.
QString UsageText();

} // namespace lystra::cli
