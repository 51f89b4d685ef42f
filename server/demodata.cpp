#include "server/demodata.h"

#include "server/databaseconnection.h"
#include "server/demoreports.h"

#include "platform/exception.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace lystra {

namespace {

const QString kConnection = QStringLiteral("vidazevivu-demo");

// Column types as the host declares them, so that the field definitions say
// "string" for texts and integers for the date, time and size numbers. The
// pitch columns are text on the host ("," or "." as decimal mark, blank for
// the default), so they are here too.
const char* const kCatalogTable = R"(CREATE TABLE CATALOG (
    FID     VARCHAR(10)  NOT NULL PRIMARY KEY,
    FDATE   NUMERIC(8,0) NOT NULL,
    FTIME   NUMERIC(6,0) NOT NULL,
    FHGHT   NUMERIC(5,0) NOT NULL,
    FWIDTH  NUMERIC(5,0) NOT NULL,
    FPAGES  NUMERIC(7,0) NOT NULL,
    FCPI    CHAR(5)      NOT NULL,
    FLPI    CHAR(5)      NOT NULL,
    FSTAT   CHAR(1)      NOT NULL,
    FTYPE   VARCHAR(10)  NOT NULL,
    FFORM   VARCHAR(10)  NOT NULL,
    FNAME   VARCHAR(10)  NOT NULL,
    JOBNAM  VARCHAR(10)  NOT NULL,
    FTXT    VARCHAR(50)  NOT NULL,
    "USER"  VARCHAR(10)  NOT NULL))";

QString spoolTable(const QString& user)
{
    return QStringLiteral(R"(CREATE TABLE %1 (
    FID    VARCHAR(10)  NOT NULL,
    FPAGE  NUMERIC(7,0) NOT NULL,
    FLINE  NUMERIC(5,0) NOT NULL,
    FCTL   CHAR(1)      NOT NULL,
    FROW   VARCHAR(198) NOT NULL,
    PRIMARY KEY (FID, FPAGE, FLINE)))").arg(user);
}

void exec(QSqlQuery& query, const QString& statement)
{
    if (!query.exec(statement))
        throw Exception(QStringLiteral("Creating the demo database failed: %1").arg(errorText(query.lastError())));
}

void execPrepared(QSqlQuery& query)
{
    if (!query.exec())
        throw Exception(QStringLiteral("Creating the demo database failed: %1").arg(errorText(query.lastError())));
}

void insertHeader(QSqlQuery& insert, const demo::PrintFile& file)
{
    const QString text = file.text.isNull() ? QStringLiteral("") : file.text;
    const QVariantList values = {file.id,    file.date,   file.time,  file.height, file.width,
                                 int(file.pages.size()), QString::number(file.cpi), QString::number(file.lpi), file.status, file.type,
                                 file.form,  file.name,   file.job,   text,        file.user};
    for (int i = 0; i < values.size(); ++i)
        insert.bindValue(i, values[i]);
    execPrepared(insert);
}

void insertPages(QSqlQuery& insert, const demo::PrintFile& file)
{
    for (int page = 0; page < file.pages.size(); ++page) {
        const demo::Page& rows = file.pages[page];
        for (int line = 0; line < rows.size(); ++line) {
            insert.bindValue(0, file.id);
            insert.bindValue(1, page + 1);
            insert.bindValue(2, line + 1);
            insert.bindValue(3, QString(QChar::fromLatin1(rows[line].control)));
            // A blank line is an empty text, never NULL (the column is NOT NULL).
            insert.bindValue(4, rows[line].text.isNull() ? QStringLiteral("") : rows[line].text);
            execPrepared(insert);
        }
    }
}

void fill(QSqlDatabase& db)
{
    QSqlQuery query(db);
    exec(query, QString::fromLatin1(kCatalogTable));
    exec(query, QStringLiteral(R"(CREATE INDEX CATALOG_USER ON CATALOG ("USER", FDATE, FTIME))"));
    for (const QString& user : demo::demoUsers())
        exec(query, spoolTable(user));

    QSqlQuery header(db);
    header.prepare(QStringLiteral("INSERT INTO CATALOG VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    for (const demo::PrintFile& file : demo::demoPrintFiles()) {
        insertHeader(header, file);
        QSqlQuery rows(db);
        rows.prepare(QStringLiteral("INSERT INTO %1 VALUES (?,?,?,?,?)").arg(file.user));
        insertPages(rows, file);
    }
}

} // namespace

void createDemoDatabase(const QString& dataDir)
{
    if (!QDir().mkpath(dataDir))
        throw Exception(QStringLiteral("Cannot create the data folder %1").arg(dataDir));
    const QString path = QDir(dataDir).absoluteFilePath(QStringLiteral("LYSTRA.sqlite"));
    if (QFileInfo::exists(path))
        throw Exception(QStringLiteral("%1 already exists; remove it to create the demo data anew").arg(path));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
        db.setDatabaseName(path);
        try {
            if (!db.open())
                throw Exception(QStringLiteral("Cannot create %1: %2").arg(path, errorText(db.lastError())));
            // One transaction: the inserts cost one write to disk, not one each.
            db.transaction();
            fill(db);
            if (!db.commit())
                throw Exception(QStringLiteral("Cannot write %1: %2").arg(path, errorText(db.lastError())));
            // Write-ahead logging lets readers go on while one connection writes.
            QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            db.close();
        } catch (...) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(kConnection);
            QFile::remove(path);
            throw;
        }
    }
    QSqlDatabase::removeDatabase(kConnection);
}

} // namespace lystra
