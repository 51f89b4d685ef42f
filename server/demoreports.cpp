#include "server/demoreports.h"

#include <QDate>

#include <functional>

namespace lystra::demo {

namespace {

// A small deterministic generator (the numbers must never change between
// runs or platforms, so no library random engine).
class Lcg {
public:
    explicit Lcg(quint32 seed) : m_state(seed) {}
    quint32 next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    int below(int n) { return int(next() % quint32(n)); }

private:
    quint32 m_state;
};

QString fit(const QString& text, int width)
{
    return text.leftJustified(width, u' ', true);
}

QString right(const QString& text, int width)
{
    return text.rightJustified(width, u' ', true);
}

// Writes `text` into `line` from 1-based column `column`, widening the line.
void place(QString& line, int column, const QString& text)
{
    const int start = column - 1;
    if (line.size() < start + text.size())
        line = line.leftJustified(start + text.size());
    line.replace(start, text.size(), text);
}

QString trimmedRight(QString text)
{
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

int advance(char control)
{
    switch (control) {
    case '+': return 0;
    case '0': return 2;
    case '-': return 3;
    default: return 1;
    }
}

// Lays rows out on pages of `length` lines: each page starts with the
// heading, rows follow until the next one would pass `lastLine`.
class PageLayout {
public:
    using Heading = std::function<void(PageLayout&, int pageNumber)>;
    PageLayout(int lastLine, Heading heading) : m_lastLine(lastLine), m_heading(std::move(heading)) {}

    void add(char control, const QString& text) { rows(QList<Row>{Row{control, text}}); }
    // Rows kept together on one page (an underline and its total).
    void rows(const QList<Row>& group)
    {
        int needed = 0;
        for (const Row& row : group)
            needed += advance(row.control);
        if (m_pages.isEmpty() || m_line + needed > m_lastLine)
            startPage();
        for (const Row& row : group)
            raw(row.control, row.text);
    }
    // A row on the heading, not checked against the bottom.
    void raw(char control, const QString& text)
    {
        m_pages.last().append(Row{control, trimmedRight(text)});
        m_line += advance(control);
    }
    void startPage()
    {
        m_pages.append(Page());
        m_line = 0;
        m_heading(*this, int(m_pages.size()));
    }
    int pageCount() const { return int(m_pages.size()); }
    QList<Page> pages() const { return m_pages; }

private:
    int m_lastLine;
    Heading m_heading;
    QList<Page> m_pages;
    int m_line = 0;
};

const QString kCompany = QStringLiteral("QUORVIK AB");

// The columns of a list report: the heading names them, the ruler below it
// marks each boundary with an "I", and rows place their cells in them.
class ListColumns {
public:
    struct Column {
        QString name;
        int width;
        bool alignRight;
    };
    explicit ListColumns(QList<Column> columns) : m_columns(std::move(columns)) {}

    int start(int index) const
    {
        int position = 1;
        for (int i = 0; i < index; ++i)
            position += m_columns[i].width + 1;
        return position;
    }
    QString heading() const
    {
        QStringList names;
        for (const Column& column : m_columns)
            names.append(column.name);
        return row(names);
    }
    QString ruler() const
    {
        QString line;
        for (const Column& column : m_columns) {
            if (!line.isEmpty())
                line.append(u'I');
            line.append(QString(column.width, u'-'));
        }
        return line;
    }
    // Cells in column order; an empty cell leaves its column blank.
    QString row(const QStringList& cells) const
    {
        QString line;
        for (int i = 0; i < cells.size() && i < m_columns.size(); ++i) {
            if (cells[i].isEmpty())
                continue;
            const Column& column = m_columns[i];
            place(line, start(i), column.alignRight ? right(cells[i], column.width) : fit(cells[i], column.width));
        }
        return line;
    }
    // One cell alone, as underlines and totals are printed.
    QString cell(int index, const QString& text) const
    {
        QStringList cells(index + 1);
        cells[index] = text;
        return row(cells);
    }

private:
    QList<Column> m_columns;
};

struct Account {
    int number;
    const char16_t* name;
};

constexpr Account kAccounts[] = {
    {1510, u"Kundfordringar"},        {1930, u"Företagskonto"},
    {2440, u"Leverantörsskulder"},    {2610, u"Utgående moms 25 %"},
    {2640, u"Ingående moms"},         {3010, u"Försäljning varor"},
    {4010, u"Inköp material och varor"}, {5010, u"Lokalhyra"},
    {6110, u"Kontorsmateriel"},       {6570, u"Bankkostnader"},
    {7010, u"Löner tjänstemän"},      {8410, u"Räntekostnader"},
};

constexpr const char16_t* kTexts[] = {
    u"Inbetalning kund",       u"Leverantörsfaktura",  u"Kundfaktura",
    u"Hyra kontor Göteborg",   u"Löneutbetalning",     u"Skatteverket moms",
    u"Ränta företagskonto",    u"Växelavgift",         u"Kontorsmateriel Åhléns",
    u"Återbetalning kund",     u"Frakt Schenker",      u"Omföring periodisering",
};

QString yymmdd(const QDate& date)
{
    return date.toString(QStringLiteral("yyMMdd"));
}

enum LedgerColumn { kDatum, kVer, kKonto, kText, kBelopp, kBokfort, kSign };

const ListColumns& ledgerColumns()
{
    static const ListColumns columns({
        {QStringLiteral("Datum"), 8, false},
        {QStringLiteral("Ver.nr"), 8, true},
        {QStringLiteral("Konto"), 6, false},
        {QStringLiteral("Text"), 40, false},
        {QStringLiteral("Belopp"), 16, true},
        {QStringLiteral("Bokfört"), 10, false},
        {QStringLiteral("Sign"), 6, false},
    });
    return columns;
}

// A general ledger: per account a heading row, its transactions, an
// underline and the account total; a grand total at the end. With
// `targetPages` above 0 the ledger runs on over more rounds of the year
// until it fills exactly that many pages.
QList<Page> ledger(const QString& title, const QDate& from, const QDate& to, int targetPages, quint32 seed)
{
    const ListColumns& columns = ledgerColumns();
    const QString period = QStringLiteral("Period %1 - %2").arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
    PageLayout layout(53, [&](PageLayout& page, int number) {
        QString first = fit(kCompany, 50) + fit(title, 60);
        place(first, 120, QStringLiteral("Sida %1").arg(number, 5));
        page.raw(' ', first);
        QString bold; // printed again over itself: bold on an impact printer
        place(bold, 51, title);
        page.raw('+', bold);
        page.raw(' ', fit(period, 50) + QStringLiteral("Utskriven 2025-11-28 07:45  Användare ANNA"));
        page.raw('-', columns.heading());
        page.raw(' ', columns.ruler());
    });
    Lcg random(seed);
    const int days = int(from.daysTo(to)) + 1;
    const QStringList signs = {QStringLiteral("AL"), QStringLiteral("EK"), QStringLiteral("MJ"), QStringLiteral("LS")};
    qint64 grandTotal = 0;
    int voucher = 1000;
    bool first = true;
    do {
        for (const Account& account : kAccounts) {
            layout.add(first ? ' ' : '0', QStringLiteral("Konto %1  %2").arg(account.number).arg(QString::fromUtf16(account.name)));
            first = false;
            qint64 total = 0;
            const int count = 3 + random.below(9);
            for (int i = 0; i < count; ++i) {
                const QDate date = from.addDays(random.below(days));
                qint64 ore = qint64(random.below(5000000)) + 100;
                if (random.below(3) == 0)
                    ore = -ore;
                total += ore;
                layout.add(' ', columns.row({yymmdd(date), QString::number(++voucher), QString::number(account.number),
                                             QString::fromUtf16(kTexts[random.below(12)]), amountText(ore),
                                             yymmdd(date.addDays(random.below(4))), signs[random.below(4)]}));
            }
            grandTotal += total;
            QStringList sum(kBelopp + 1);
            sum[kText] = QStringLiteral("Summa konto %1").arg(account.number);
            sum[kBelopp] = amountText(total);
            layout.rows({Row{' ', columns.cell(kBelopp, QString(15, u'-') + u' ')}, Row{' ', columns.row(sum)}});
        }
    } while (layout.pageCount() <= targetPages);
    QList<Page> pages = layout.pages();
    if (targetPages > 0) {
        pages.resize(targetPages);
        return pages;
    }
    QStringList grand(kBelopp + 1);
    grand[kText] = QStringLiteral("Totalt");
    grand[kBelopp] = amountText(grandTotal);
    layout.rows({Row{'0', columns.cell(kBelopp, QString(15, u'=') + u' ')}, Row{' ', columns.row(grand)}});
    return layout.pages();
}

int luhnDigit(const QString& digits)
{
    int sum = 0;
    bool twice = true;
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        int d = digits[i].digitValue();
        if (twice) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
        twice = !twice;
    }
    return (10 - sum % 10) % 10;
}

struct InvoiceLine {
    const char16_t* article;
    const char16_t* text;
    int quantity;
    qint64 price; // öre
};

// An invoice on a portrait page; its last line is the OCR line that the
// payment slip's reader scans.
Page invoice(int number, const QDate& date, const QString& customer, const QStringList& address,
             const QList<InvoiceLine>& lines)
{
    Page page;
    int line = 0;
    const auto add = [&](char control, const QString& text) {
        page.append(Row{control, trimmedRight(text)});
        line += advance(control);
    };
    add(' ', fit(kCompany, 46) + QStringLiteral("FAKTURA"));
    add('+', QString(46, u' ') + QStringLiteral("FAKTURA"));
    add(' ', QStringLiteral("Hamngatan 12"));
    add(' ', fit(QStringLiteral("411 06 GÖTEBORG"), 46) + QStringLiteral("Fakturanr      %1").arg(number));
    add(' ', QString(46, u' ') + QStringLiteral("Fakturadatum   %1").arg(date.toString(Qt::ISODate)));
    add(' ', QString(46, u' ') + QStringLiteral("Förfallodatum  %1").arg(date.addDays(30).toString(Qt::ISODate)));
    add('0', fit(QStringLiteral("Kundnr  %1").arg(20000 + number % 977), 46) + customer);
    for (const QString& part : address)
        add(' ', QString(46, u' ') + part);
    add('-', QStringLiteral("Artikel   Benämning                      Antal     À-pris       Belopp"));
    add(' ', QString(76, u'-'));
    qint64 net = 0;
    for (const InvoiceLine& item : lines) {
        const qint64 amount = item.price * item.quantity;
        net += amount;
        add(' ', fit(QString::fromUtf16(item.article), 10) + fit(QString::fromUtf16(item.text), 30)
                     + right(QString::number(item.quantity), 6) + right(amountText(item.price), 12)
                     + right(amountText(amount), 14));
    }
    const qint64 vat = net / 4;
    const qint64 toPay = (net + vat + 50) / 100 * 100; // öresavrundning
    add(' ', QString(46, u' ') + QString(30, u'-'));
    add(' ', QString(46, u' ') + fit(QStringLiteral("Netto"), 16) + right(amountText(net), 14));
    add(' ', QString(46, u' ') + fit(QStringLiteral("Moms 25 %"), 16) + right(amountText(vat), 14));
    add(' ', QString(46, u' ') + fit(QStringLiteral("Öresavrundning"), 16) + right(amountText(toPay - net - vat), 14));
    add('0', QString(46, u' ') + fit(QStringLiteral("ATT BETALA SEK"), 16) + right(amountText(toPay), 14));
    add('+', QString(46, u' ') + fit(QStringLiteral("ATT BETALA SEK"), 16) + right(amountText(toPay), 14));
    add('-', QStringLiteral("Betalningsvillkor 30 dagar netto. Dröjsmålsränta 8 %."));
    add(' ', QStringLiteral("Bankgiro 5050-1055   Org.nr 556677-8899   Innehar F-skattsedel"));
    // Skip down to the payment slip; the OCR line is the page's last line.
    while (line + 3 < 62)
        add('-', QString());
    const QString reference = QStringLiteral("%1%2").arg(number).arg(date.toString(QStringLiteral("yyMMdd")));
    const QString ocr = reference + QString::number(luhnDigit(reference));
    const QString kronor = QString::number(toPay / 100);
    const QString ore = QStringLiteral("%1").arg(toPay % 100, 2, 10, QLatin1Char('0'));
    const int amountCheck = luhnDigit(kronor + ore);
    add('0', QStringLiteral("#%1 #%2 %3   %4 >%5#41#")
                 .arg(right(ocr, 24), right(kronor, 8), ore)
                 .arg(amountCheck)
                 .arg(right(QStringLiteral("50501055"), 23)));
    return page;
}

PrintFile header(const QString& id, int date, int time, const QString& user)
{
    PrintFile file;
    file.id = id;
    file.date = date;
    file.time = time;
    file.user = user;
    file.status = QStringLiteral(" ");
    file.type = QStringLiteral("*SCS");
    file.form = QStringLiteral("*STD");
    return file;
}

void portrait80(PrintFile& file)
{
    file.height = 66;
    file.width = 80;
    file.cpi = 10;
    file.lpi = 6;
}

void landscape132(PrintFile& file)
{
    file.height = 55;
    file.width = 132;
    file.cpi = 15;
    file.lpi = 8;
}

PrintFile invoiceFile(const QString& id, int date, int time, const QString& user, int first, int count,
                      quint32 seed)
{
    static const InvoiceLine kItems[] = {
        {u"1001", u"Kontorsstol Ergo", 1, 249500}, {u"1017", u"Skrivbord höj/sänk", 1, 689000},
        {u"2040", u"Kopieringspapper A4", 20, 5990}, {u"2055", u"Pärmar A4 blå", 12, 3450},
        {u"3100", u"Skärm 27 tum", 2, 329000},     {u"3120", u"Tangentbord svensk", 3, 49900},
        {u"4500", u"Service timpris", 6, 95000},   {u"4510", u"Resa Göteborg-Borås", 1, 48000},
    };
    static const char16_t* kCustomers[][3] = {
        {u"Älvstrands Bygg AB", u"Box 412", u"451 22 UDDEVALLA"},
        {u"Café Kärnan HB", u"Storgatan 3", u"252 21 HELSINGBORG"},
        {u"Östgöta Frakt AB", u"Industrivägen 18", u"582 73 LINKÖPING"},
    };
    PrintFile file = header(id, date, time, user);
    portrait80(file);
    file.form = QStringLiteral("FAKTURA");
    file.name = QStringLiteral("FAKTURA");
    file.job = QStringLiteral("FAKTURERA");
    file.text = QStringLiteral("Fakturor %1").arg(QDate::fromString(QString::number(date), QStringLiteral("yyyyMMdd")).toString(Qt::ISODate));
    Lcg random(seed);
    for (int i = 0; i < count; ++i) {
        QList<InvoiceLine> items;
        const int n = 2 + random.below(5);
        for (int k = 0; k < n; ++k)
            items.append(kItems[random.below(8)]);
        const auto& customer = kCustomers[random.below(3)];
        file.pages.append(invoice(first + i, QDate::fromString(QString::number(date), QStringLiteral("yyyyMMdd")),
                                  QString::fromUtf16(customer[0]),
                                  {QString::fromUtf16(customer[1]), QString::fromUtf16(customer[2])}, items));
    }
    return file;
}

PrintFile ledgerFile(const QString& id, int date, int time, const QString& user, const QString& text,
                     const QDate& from, const QDate& to, int pages, quint32 seed)
{
    PrintFile file = header(id, date, time, user);
    landscape132(file);
    file.name = QStringLiteral("HUVUDBOK");
    file.job = QStringLiteral("EKONOMI");
    file.text = text;
    file.pages = ledger(QStringLiteral("H U V U D B O K"), from, to, pages, seed);
    return file;
}

// An accounts-receivable list on portrait pages at 15 cpi and 8 lpi; the
// host prints the job title as the last line of every page.
PrintFile receivablesFile(const QString& id, int date, int time, const QString& user)
{
    PrintFile file = header(id, date, time, user);
    file.height = 66;
    file.width = 120;
    file.cpi = 15;
    file.lpi = 8;
    file.name = QStringLiteral("RESKONTRA");
    file.job = QStringLiteral("KUNDRESK");
    file.text = QStringLiteral("Kundreskontra per 2025-11-30");
    static const char16_t* kNames[] = {u"Älvstrands Bygg AB", u"Café Kärnan HB", u"Östgöta Frakt AB",
                                       u"Bröderna Ågren AB", u"Norrlands Trä & Virke", u"Sjöberg Måleri"};
    static const ListColumns columns({
        {QStringLiteral("Kundnr"), 7, true},
        {QStringLiteral("Kund"), 30, false},
        {QStringLiteral("Fakturanr"), 9, true},
        {QStringLiteral("Fakturadat"), 10, false},
        {QStringLiteral("Förfaller"), 10, false},
        {QStringLiteral("Belopp"), 15, true},
        {QStringLiteral("Förfallet"), 15, true},
    });
    PageLayout layout(62, [&](PageLayout& page, int number) {
        page.raw(' ', fit(kCompany, 40) + fit(QStringLiteral("KUNDRESKONTRA"), 60) + QStringLiteral("Sida %1").arg(number));
        page.raw('0', columns.heading());
        page.raw(' ', columns.ruler());
    });
    Lcg random(77);
    qint64 total = 0;
    qint64 overdueTotal = 0;
    const QDate cutOff(2025, 11, 30);
    for (int i = 0; i < 120; ++i) {
        const QDate invoiced = QDate(2025, 8, 1).addDays(random.below(110));
        const qint64 amount = qint64(random.below(9000000)) + 5000;
        const bool overdue = invoiced.addDays(30) < cutOff;
        total += amount;
        overdueTotal += overdue ? amount : 0;
        layout.add(' ', columns.row({QString::number(20000 + random.below(900)), QString::fromUtf16(kNames[random.below(6)]),
                                     QString::number(50000 + i), yymmdd(invoiced), yymmdd(invoiced.addDays(30)),
                                     amountText(amount), overdue ? amountText(amount) : QString()}));
    }
    layout.rows({Row{' ', columns.row({{}, {}, {}, {}, {}, QString(14, u'-') + u' ', QString(14, u'-') + u' '})},
                 Row{' ', columns.row({{}, QStringLiteral("Summa kundfordringar"), {}, {}, {}, amountText(total),
                                       amountText(overdueTotal)})}});
    QList<Page> pages = layout.pages();
    for (Page& page : pages)
        page.append(Row{'0', QString(50, u' ') + file.text});
    file.pages = pages;
    return file;
}

// A stock list whose job text is blank: the queue shows the job name, and
// every page ends with that name.
PrintFile stockFile(const QString& id, int date, int time, const QString& user)
{
    PrintFile file = header(id, date, time, user);
    landscape132(file);
    file.name = QStringLiteral("QSYSPRT");
    file.job = QStringLiteral("LAGERLISTA");
    file.text = QString();
    static const char16_t* kArticles[] = {u"Kontorsstol Ergo", u"Skrivbord höj/sänk", u"Kopieringspapper A4",
                                          u"Pärmar A4 blå",   u"Skärm 27 tum",       u"Tangentbord svensk",
                                          u"Whiteboard 120×90", u"Förvaringsbox 40 l"};
    static const ListColumns columns({
        {QStringLiteral("Artikel"), 8, false},
        {QStringLiteral("Benämning"), 32, false},
        {QStringLiteral("Hylla"), 6, false},
        {QStringLiteral("I lager"), 9, true},
        {QStringLiteral("Beställt"), 9, true},
        {QStringLiteral("Inpris"), 12, true},
        {QStringLiteral("Lagervärde"), 17, true},
    });
    PageLayout layout(52, [&](PageLayout& page, int number) {
        page.raw(' ', fit(kCompany, 50) + fit(QStringLiteral("LAGERLISTA LAGER 01"), 60) + QStringLiteral("Sida %1").arg(number));
        page.raw('+', QString(50, u' ') + QStringLiteral("LAGERLISTA"));
        page.raw('-', columns.heading());
        page.raw(' ', columns.ruler());
    });
    Lcg random(4242);
    qint64 total = 0;
    for (int i = 0; i < 140; ++i) {
        const int stock = random.below(400) - 20;
        const qint64 price = qint64(random.below(300000)) + 990;
        const qint64 value = price * stock;
        total += value;
        const QString shelf = QStringLiteral("%1-%2").arg(QChar(u'A' + random.below(6))).arg(random.below(40), 2, 10, QLatin1Char('0'));
        layout.add(' ', columns.row({QString::number(1000 + i * 7), QString::fromUtf16(kArticles[random.below(8)]), shelf,
                                     QString::number(stock), QString::number(random.below(50)), amountText(price),
                                     amountText(value)}));
    }
    layout.rows({Row{' ', columns.cell(6, QString(16, u'=') + u' ')},
                 Row{' ', columns.row({{}, QStringLiteral("Lagervärde totalt"), {}, {}, {}, {}, amountText(total)})}});
    QList<Page> pages = layout.pages();
    for (Page& page : pages)
        page.append(Row{'0', QString(60, u' ') + file.job});
    file.pages = pages;
    return file;
}

// The system operator's history log: plain text pages without a ruler.
PrintFile historyFile(const QString& id, int date, int time, const QString& user)
{
    PrintFile file = header(id, date, time, user);
    landscape132(file);
    file.name = QStringLiteral("QPDSPLOG");
    file.job = QStringLiteral("QSYSARB");
    file.text = QStringLiteral("Historiklogg");
    file.status = QStringLiteral("V");
    static const char16_t* kMessages[] = {
        u"CPF1124  Jobb 123456/ANNA/QPADEV0001 startat.",
        u"CPF1164  Jobb 123456/ANNA/QPADEV0001 avslutat, 14 sekunder använda.",
        u"CPI3E34  Säkerhetskopiering av bibliotek LYSTRA klar.",
        u"CPF2204  Användarprofil ÅSA finns inte.",
        u"CPI0953  ASP-lagringsgräns nådd till 71 %.",
    };
    PageLayout layout(53, [&](PageLayout& page, int number) {
        page.raw(' ', fit(QStringLiteral("Visa historiklogg"), 100) + QStringLiteral("Sida %1").arg(number));
        page.raw('0', QStringLiteral("Meddelande-id  Text"));
    });
    Lcg random(99);
    for (int i = 0; i < 130; ++i) {
        const QTime at = QTime(6, 0).addSecs(i * 97);
        layout.add(' ', at.toString(QStringLiteral("HH:mm:ss")) + u"  " + QString::fromUtf16(kMessages[random.below(5)]));
    }
    file.pages = layout.pages();
    return file;
}

} // namespace

QString amountText(qint64 ore)
{
    const bool negative = ore < 0;
    const quint64 value = negative ? quint64(-ore) : quint64(ore);
    QString kronor = QString::number(value / 100);
    for (qsizetype i = kronor.size() - 3; i > 0; i -= 3)
        kronor.insert(i, u'.');
    return QStringLiteral("%1,%2%3").arg(kronor).arg(value % 100, 2, 10, QLatin1Char('0')).arg(QChar(negative ? u'-' : u' '));
}

QList<QString> demoUsers()
{
    return {QStringLiteral("QSECOFR"), QStringLiteral("ANNA"), QStringLiteral("ERIK"), QStringLiteral("MAJA")};
}

QList<PrintFile> demoPrintFiles()
{
    QList<PrintFile> files;
    const QString qsecofr = QStringLiteral("QSECOFR");
    const QString anna = QStringLiteral("ANNA");
    const QString erik = QStringLiteral("ERIK");
    const QString maja = QStringLiteral("MAJA");

    files.append(historyFile(QStringLiteral("0000100001"), 20251127, 61502, qsecofr));
    PrintFile copy = invoiceFile(QStringLiteral("0000100002"), 20251128, 93000, qsecofr, 71230, 1, 5);
    copy.text = QStringLiteral("Fakturakopia 71230");
    files.append(copy);

    PrintFile october = ledgerFile(QStringLiteral("0000200001"), 20251103, 74512, anna, QStringLiteral("Huvudbok oktober 2025"),
                                   QDate(2025, 10, 1), QDate(2025, 10, 31), 0, 11);
    october.status = QStringLiteral("V");
    files.append(october);
    PrintFile vouchers = ledgerFile(QStringLiteral("0000200002"), 20251114, 131005, anna,
                                    QStringLiteral("Verifikationslista vecka 46"), QDate(2025, 11, 10),
                                    QDate(2025, 11, 14), 0, 23);
    vouchers.name = QStringLiteral("VERLISTA");
    files.append(vouchers);
    files.append(ledgerFile(QStringLiteral("0000200003"), 20251128, 54500, anna,
                            QStringLiteral("Huvudbok helår 2025 (2000 sidor)"), QDate(2025, 1, 1), QDate(2025, 12, 31),
                            2000, 2025));

    PrintFile sent = invoiceFile(QStringLiteral("0000300001"), 20251020, 100512, erik, 71001, 3, 7);
    sent.status = QStringLiteral("V");
    files.append(sent);
    files.append(invoiceFile(QStringLiteral("0000300002"), 20251121, 143000, erik, 71150, 2, 8));
    files.append(receivablesFile(QStringLiteral("0000300003"), 20251128, 80000, erik));

    files.append(stockFile(QStringLiteral("0000400001"), 20251125, 70005, maja));
    return files;
}

} // namespace lystra::demo
