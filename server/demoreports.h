#pragma once

#include <QList>
#include <QString>

namespace lystra::demo {

// One stored line of a print file: its carriage-control code and its text.
struct Row {
    char control = ' ';
    QString text;
};
using Page = QList<Row>;

// A print file as the host would have spooled it: the "CATALOG" header and
// the pages of the user's page-row table.
struct PrintFile {
    QString id;      // FID
    int date = 0;    // FDATE, yyyymmdd
    int time = 0;    // FTIME, hhmmss
    int height = 0;  // FHGHT, lines per page
    int width = 0;   // FWIDTH, characters per line
    double cpi = 10; // FCPI
    double lpi = 6;  // FLPI
    QString status;  // FSTAT: "V" viewed, " " new
    QString type;    // FTYPE
    QString form;    // FFORM
    QString name;    // FNAME
    QString job;     // JOBNAM
    QString text;    // FTXT
    QString user;    // USER
    QList<Page> pages;
};

// The demo print queue: several users (QSECOFR among them), each with print
// files that look like a Swedish business system's output (invoices ending
// in an OCR line, ledgers with heading and ruler lines, underlines, totals,
// overprinting and line skips), and one 2 000-page ledger for benchmarks.
// The same every time: the content depends on nothing but this code.
QList<PrintFile> demoPrintFiles();

// The users that own print files, in the order their tables are created.
QList<QString> demoUsers();

// Swedish amount text of an amount in öre: grouping ".", decimal ",", and a
// trailing "-" for negatives (a blank for positives, so that decimal commas
// line up): 123456 gives "1.234,56 ", -12345 gives "123,45-".
QString amountText(qint64 ore);

} // namespace lystra::demo
