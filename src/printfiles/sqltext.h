#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace lystra {

// Building blocks for the SQL texts of the print queue. Text that comes from
// outside the statement (a user profile, a print file identity) enters it only
// through these, so that it can never change the statement itself.

// `text` as an SQL string literal: in single quotes, each single quote doubled.
// Raises lystra::Exception for a text holding a NUL, CR or LF byte, which the
// line-oriented gateway protocol could not carry inside one statement.
QByteArray SqlString(QByteArrayView text);

// Whether `name` can stand unquoted as a table name: a letter or one of "_", "#",
// "@", "$" first, then letters, digits and those characters (letters as the
// host code page defines them, so Å, Ä and Ö count).
bool IsTableName(QByteArrayView name);

// `name` unchanged when IsTableName(name); otherwise raises lystra::Exception
// with the message "Användarprofilen \"<name>\" kan inte vara ett tabellnamn".
QByteArray CheckedUserTable(QByteArrayView name);

} // namespace lystra
