#pragma once

// An in-memory stand-in for the queue's tables: header rows are built from
// column values, page rows are served by print file identity and page number
// (read back from the SELECT text), and every statement is recorded.

#include "platform/exception.h"
#include "printfiles/printfilestore.h"
#include "printfiles/tprintfile.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QRegularExpression>

#include <memory>
#include <utility>

namespace lystra::test {

class FakeRow : public TRowValues {
public:
    QHash<QByteArray, QByteArray> values;

    QByteArray Value(const char* name) const override
    {
        const auto it = values.constFind(QByteArray(name));
        if (it == values.constEnd())
            throw Exception(QStringLiteral("Field '%1' not found").arg(QLatin1StringView(name)));
        return it.value();
    }
};

// A header row with plausible values; `changes` overrides or adds columns and
// a value of "<missing>" removes one.
inline FakeRow headerRow(const QList<std::pair<QByteArray, QByteArray>>& changes = {})
{
    FakeRow row;
    row.values = {{"FID", "4711"},       {"FDATE", "20080312"}, {"FTIME", "93000"},
                  {"FHGHT", "66"},       {"FWIDTH", "132"},     {"FPAGES", "1"},
                  {"FCPI", "10"},        {"FLPI", "6"},         {"FSTAT", ""},
                  {"FTYPE", "SPL"},      {"FFORM", "*STD"},     {"FNAME", "QPRINT"},
                  {"JOBNAM", "FAKTJOB"}, {"FTXT", "Fakturor"},  {"USER", "ANNA"}};
    for (const auto& [name, value] : changes) {
        if (value == "<missing>")
            row.values.remove(name);
        else
            row.values.insert(name, value);
    }
    return row;
}

// One stored page row: control code and text.
struct Line {
    QByteArray control;
    QByteArray text;
};

class FakeStore : public TPrintFileStore {
public:
    QByteArray catalog = "CATALOG";
    QByteArray spool = "ANNA";
    bool archive = false;
    // Rows of the page-row table: identity -> page number -> rows in FLINE order.
    QHash<QByteArray, QMap<int, QList<Line>>> pages;
    // Every statement run, SELECTs included, oldest first.
    QList<QByteArray> statements;
    // The next that many Select calls raise.
    int failSelects = 0;
    // Page number text served as FPAGE instead of the real one (to make a bad row).
    QByteArray fpageOverride;

    QByteArray CatalogTable() const override { return catalog; }
    QByteArray SpoolTable() const override { return spool; }
    bool IsArchive() const override { return archive; }

    void Select(const QByteArray& sql, const std::function<void(const TRowValues&)>& row) override
    {
        statements << sql;
        if (failSelects > 0) {
            --failSelects;
            throw Exception(QStringLiteral("server gone"));
        }
        static const QRegularExpression key(QStringLiteral("FID='([^']*)'.* FPAGE=(\\d+)"));
        const auto match = key.match(QString::fromLatin1(sql));
        if (!match.hasMatch())
            return;
        const QList<Line> lines =
            pages.value(match.captured(1).toLatin1()).value(match.captured(2).toInt());
        int fline = 0;
        for (const Line& line : lines) {
            FakeRow values;
            values.values = {
                {"FPAGE", fpageOverride.isEmpty() ? match.captured(2).toLatin1() : fpageOverride},
                {"FLINE", QByteArray::number(++fline)},
                {"FCTL", line.control},
                {"FROW", line.text}};
            row(values);
        }
    }

    void Execute(const QByteArray& sql) override { statements << sql; }

    // A print file `id` with the given pages, each a list of rows.
    std::unique_ptr<TPrintFile> makeFile(const QByteArray& id, const QList<QList<Line>>& filePages,
                                         QList<std::pair<QByteArray, QByteArray>> header = {})
    {
        header.append({"FID", id});
        header.append({"FPAGES", QByteArray::number(filePages.size())});
        for (int p = 0; p < filePages.size(); ++p)
            pages[id][p + 1] = filePages[p];
        return std::make_unique<TPrintFile>(this, headerRow(header));
    }
};

// Rows with a blank control code, one per text.
inline QList<Line> plain(const QList<QByteArray>& texts)
{
    QList<Line> lines;
    for (const QByteArray& text : texts)
        lines.append({"", text});
    return lines;
}

} // namespace lystra::test
