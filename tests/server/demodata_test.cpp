// The demo database: deterministic, and holding the kinds of print file the
// rest of the system is tested with.

#include "server/demodata.h"

#include "platform/exception.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lystra;

namespace {

// Opens DIR/LYSTRA.sqlite for the duration of one test.
class DemoDatabase {
public:
    explicit DemoDatabase(const QString& dir, const QString& name)
        : m_name(name)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        m_db.setDatabaseName(dir + QStringLiteral("/LYSTRA.sqlite"));
        m_db.open();
    }
    ~DemoDatabase()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    // Every row of a query, values joined by "|".
    QStringList rows(const QString& sql) const
    {
        QSqlQuery query(m_db);
        EXPECT_TRUE(query.exec(sql)) << qPrintable(sql);
        QStringList rows;
        while (query.next()) {
            QStringList values;
            for (int i = 0; i < query.record().count(); ++i)
                values.append(query.value(i).toString());
            rows.append(values.join(u'|'));
        }
        return rows;
    }
    QString value(const QString& sql) const
    {
        const QStringList all = rows(sql);
        return all.isEmpty() ? QString() : all.first();
    }

private:
    QString m_name;
    QSqlDatabase m_db;
};

QByteArray dump(const DemoDatabase& db)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& row : db.rows(QStringLiteral("select * from CATALOG order by FID")))
        hash.addData(row.toUtf8());
    for (const QString& user : db.rows(QStringLiteral("select distinct \"USER\" from CATALOG order by 1"))) {
        for (const QString& row : db.rows(QStringLiteral("select * from %1 order by FID, FPAGE, FLINE").arg(user)))
            hash.addData(row.toUtf8());
    }
    return hash.result().toHex();
}

} // namespace

class DemoData : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        createDemoDatabase(s_dir->path());
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QTemporaryDir* s_dir;
};

QTemporaryDir* DemoData::s_dir = nullptr;

TEST_F(DemoData, IsTheSameEveryTimeAndNeverOverwritten)
{
    QTemporaryDir other;
    createDemoDatabase(other.path());
    const DemoDatabase first(s_dir->path(), QStringLiteral("first"));
    const DemoDatabase second(other.path(), QStringLiteral("second"));
    EXPECT_EQ(dump(first), dump(second));
    EXPECT_THROW(createDemoDatabase(other.path()), Exception);
}

TEST_F(DemoData, PrintFilesCoverTheCasesTheClientHandles)
{
    const DemoDatabase db(s_dir->path(), QStringLiteral("features"));
    EXPECT_EQ(db.rows(QStringLiteral("select distinct \"USER\" from CATALOG order by 1")),
              (QStringList{QStringLiteral("ANNA"), QStringLiteral("ERIK"), QStringLiteral("MAJA"), QStringLiteral("QSECOFR")}));
    EXPECT_EQ(db.rows(QStringLiteral("select distinct FHGHT from CATALOG order by 1")),
              (QStringList{QStringLiteral("55"), QStringLiteral("66")}));
    EXPECT_EQ(db.rows(QStringLiteral("select distinct FCPI from CATALOG order by 1")),
              (QStringList{QStringLiteral("10"), QStringLiteral("15")}));
    EXPECT_EQ(db.rows(QStringLiteral("select distinct FLPI from CATALOG order by 1")),
              (QStringList{QStringLiteral("6"), QStringLiteral("8")}));
    EXPECT_EQ(db.rows(QStringLiteral("select distinct FSTAT from CATALOG order by 1")),
              (QStringList{QStringLiteral(" "), QStringLiteral("V")}));
    EXPECT_EQ(db.value(QStringLiteral("select JOBNAM from CATALOG where FTXT=''")), u"LAGERLISTA");

    // The 2 000-page ledger has every one of its pages.
    const QString big = db.value(QStringLiteral("select FID||'|'||\"USER\" from CATALOG where FPAGES=2000"));
    ASSERT_FALSE(big.isEmpty());
    const QStringList id = big.split(u'|');
    EXPECT_EQ(db.value(QStringLiteral("select count(distinct FPAGE)||'|'||max(FPAGE) from %1 where FID='%2'")
                           .arg(id[1], id[0])),
              u"2000|2000");

    // Carriage control: overprint, one and two blank lines.
    EXPECT_EQ(db.rows(QStringLiteral("select distinct FCTL from ANNA order by 1")),
              (QStringList{QStringLiteral(" "), QStringLiteral("+"), QStringLiteral("-"), QStringLiteral("0")}));
}

TEST_F(DemoData, PagesLookLikeRealReports)
{
    const DemoDatabase db(s_dir->path(), QStringLiteral("reports"));
    // Every invoice page ends with its OCR line.
    const QStringList invoices = db.rows(QStringLiteral(
        "select R.FROW from ERIK R join CATALOG C on C.FID=R.FID where C.FNAME='FAKTURA' and R.FLINE="
        "(select max(FLINE) from ERIK where FID=R.FID and FPAGE=R.FPAGE)"));
    ASSERT_EQ(invoices.size(), 5);
    for (const QString& line : invoices)
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^#\\s*\\d+ #\\s*\\d+ \\d\\d\\s+\\d >\\s*\\d+#41#$")).match(line).hasMatch())
            << qPrintable(line);

    // A ledger page: heading line, then a ruler of "I" marks over the columns.
    const QStringList page = db.rows(QStringLiteral("select FROW from ANNA where FID='0000200001' and FPAGE=1 order by FLINE"));
    const qsizetype ruler = page.indexOf(QRegularExpression(QStringLiteral("^-+(I-+)+$")));
    ASSERT_GT(ruler, 0);
    for (const char* name : {"Datum", "Konto", "Text", "Belopp", "Bokf\xc3\xb6rt"})
        EXPECT_TRUE(page[ruler - 1].contains(QString::fromUtf8(name))) << name;

    // Swedish amounts: grouping points, decimal comma, trailing minus; and
    // underlines above totals.
    const QString rows = page.join(u'\n');
    EXPECT_TRUE(rows.contains(QRegularExpression(QStringLiteral("\\d\\.\\d{3},\\d\\d "))));
    EXPECT_TRUE(rows.contains(QRegularExpression(QStringLiteral("\\d,\\d\\d-"))));
    EXPECT_TRUE(rows.contains(QRegularExpression(QStringLiteral("\\s-{15}\\n\\s+Summa konto \\d+"))));
}

TEST_F(DemoData, EveryPageFitsItsPageLength)
{
    // Lines advance by the carriage-control code; no page may run past FHGHT.
    const DemoDatabase db(s_dir->path(), QStringLiteral("lengths"));
    const QStringList overfull = db.rows(QStringLiteral(
        "select C.FID, P.FPAGE from CATALOG C join ("
        "  select FID, FPAGE, sum(case FCTL when '+' then 0 when '0' then 2 when '-' then 3 else 1 end) LINES"
        "  from (select * from QSECOFR union all select * from ANNA union all select * from ERIK"
        "        union all select * from MAJA) group by FID, FPAGE) P on P.FID=C.FID where P.LINES > C.FHGHT"));
    EXPECT_TRUE(overfull.isEmpty()) << qPrintable(overfull.join(u' '));
    EXPECT_EQ(db.value(QStringLiteral("select count(*) from CATALOG C where FPAGES <> (select count(distinct FPAGE) from "
                                      "(select FID, FPAGE from QSECOFR union all select FID, FPAGE from ANNA union all "
                                      "select FID, FPAGE from ERIK union all select FID, FPAGE from MAJA) P where P.FID=C.FID)")),
              u"0");
}
