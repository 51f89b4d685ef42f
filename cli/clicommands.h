#pragma once

#include "cli/cliarguments.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <functional>

namespace lystra::cli {

// Where a command writes what it prints: standard output and standard error
// in the program, buffers in tests.
struct Output {
    std::function<void(const QString&)> out;
    std::function<void(const QString&)> err;
};

// Runs one command against the server and answers the exit code. Failures
// raise CliError with their exit code; the caller prints the message.
int RunCommand(const Invocation& call, const Output& output);

// One CSV record: fields separated by ",", a field holding ",", a double
// quote, a line break or surrounding blanks put in double quotes with its
// double quotes doubled; ends with a line feed.
QString CsvRecord(const QStringList& fields);

// Filter strings from a file, one per line (CR LF or LF), as host text. The
// file is read as UTF-8 when it is valid UTF-8, else as host text already;
// empty lines are dropped (an empty filter string never matches anyway).
QByteArrayList FilterStringsFrom(const QByteArray& bytes);

} // namespace lystra::cli
