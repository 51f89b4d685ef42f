#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

namespace lystra {

// One command line of the gateway protocol, split into its command word and
// the rest. Pure functions over bytes: nothing here touches a socket or a
// database, so the parsing can be tested and fuzzed on its own.
enum class CommandKind {
    Empty,    // a line with nothing but blanks
    Unknown,  // a word the server does not know
    Open,     // "open db user password"
    Sql,      // "sql statement"
    ExecSql,  // "execsql statement"
    ExecSql2, // "execsql2 statement"
    SqlBatch, // "sqlbatch", statements on the lines up to "."
    Prep,     // "prep statement"
    Exec,     // "exec v1,v2,..."
    Get,      // "get rows"
    Info,     // "info "
    Tran,     // "tran start|commit|rollback"
    Clear,    // "clear"
    Sys,      // "sys request argument"
};

struct Command {
    CommandKind kind = CommandKind::Empty;
    QByteArray word;     // the command word as sent (for messages)
    QByteArray argument; // everything after the first blank, unchanged
};

// The command word is matched without regard to case; blanks and control
// characters before it are skipped. The argument keeps its bytes exactly
// (statements and passwords may end in blanks).
Command parseCommand(QByteArrayView line);

// The three words of "open": database and user end at the next blank; the
// password is the rest of the line (it may hold blanks, or be empty).
struct OpenArguments {
    QByteArray database;
    QByteArray user;
    QByteArray password;
};
OpenArguments splitOpenArguments(QByteArrayView argument);

// The row count of "get": decimal digits with optional surrounding blanks,
// at least 1. Counts above `cap` are answered with `cap` rows (a block holds
// "at most" the count). nullopt when the text is not such a number.
std::optional<int> parseRowCount(QByteArrayView text, int cap);

// The values of "exec", separated by commas, never quoted. A statement
// without "?" markers takes no values from an empty text; otherwise an
// empty text is one empty value.
QList<QByteArray> splitExecValues(QByteArrayView text, int markerCount);

// A "sys" request: the request word (lower-cased) and its argument, which
// keeps its bytes except that surrounding blanks are trimmed.
struct SysRequest {
    QByteArray name;
    QByteArray argument;
};
SysRequest parseSysRequest(QByteArrayView argument);

// Text safe to echo in a reply line: printable ASCII kept, other bytes shown
// as "?", cut to `maxLength` bytes.
QByteArray printable(QByteArrayView text, qsizetype maxLength = 40);

} // namespace lystra
