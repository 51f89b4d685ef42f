#include "printfiles/tprintpage.h"

#include "platform/clipboard.h"
#include "platform/convert.h"
#include "platform/exception.h"
#include "platform/hostcodec.h"
#include "printfiles/hosttext.h"
#include "printfiles/hourglass.h"
#include "printfiles/printfilestore.h"
#include "printfiles/sqltext.h"
#include "printfiles/tprintfile.h"

namespace lystra {

int TPrintRow::Indent() const
{
    if (m_indent != -1)
        return m_indent;
    m_indent = 1;
    if (IsBlankHost(Text))
        return m_indent;
    while (m_indent <= Text.size() && Text[m_indent - 1] == ' ')
        ++m_indent;
    return m_indent;
}

QByteArray TPrintRow::TrimmedText() const
{
    return Text.sliced(qMin<qsizetype>(Indent() - 1, Text.size()));
}

int TPrintRow::LineAdvance(char control)
{
    switch (control) {
    case '+':
        return 0;
    case '0':
        return 2;
    case '-':
        return 3;
    default:
        return 1;
    }
}

TPrintPage::TPrintPage(const TPrintFile* file, int pageNo) : m_file(file), m_pageNo(pageNo) {}

QByteArray TPrintPage::SelectText(const TPrintFile& file, int pageNo)
{
    const TPrintFileStore& store = *file.Owner();
    QByteArray sql = "select FPAGE,FLINE,FCTL,FROW from " + store.SpoolTable() + " " +
                     "where FID=" + SqlString(file.Id());
    if (store.IsArchive())
        sql += " and FDATE=" + file.CreatedDateDigits();
    sql += " and FPAGE=" + QByteArray::number(pageNo) + " " + "order by FLINE";
    return sql;
}

std::unique_ptr<TPrintPage> TPrintPage::Read(const TPrintFile& file, int pageNo)
{
    auto page = std::make_unique<TPrintPage>(&file, pageNo);
    file.Owner()->Select(SelectText(file, pageNo), [&page](const TRowValues& row) {
        const int fpage = toInt(TrimHost(row.Value("FPAGE")));
        const int fline = toInt(TrimHost(row.Value("FLINE")));
        page->AppendRow(row.Value("FCTL"), row.Value("FROW"), fline, fpage);
    });
    page->DropTitleRow(file.Title());
    return page;
}

void TPrintPage::AppendRow(QByteArrayView control, const QByteArray& text, int rowNo, int pageNo)
{
    TPrintRow row;
    row.Control = control.isEmpty() ? ' ' : control[0];
    row.RowNo = rowNo;
    row.PageNo = pageNo;
    row.Text = text;
    m_line += TPrintRow::LineAdvance(row.Control);
    row.Line = m_line;
    m_rows.push_back(std::move(row));
}

void TPrintPage::DropTitleRow(const QByteArray& title)
{
    if (!m_rows.empty() && TrimHost(m_rows.back().Text) == title)
        m_rows.pop_back();
}

const TPrintRow& TPrintPage::Row(int i) const
{
    if (i < 0 || i >= RowCount())
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(i));
    return m_rows[static_cast<std::size_t>(i)];
}

QByteArray TPrintPage::Text() const
{
    QByteArray result;
    int current = 1;
    for (const TPrintRow& row : m_rows) {
        // An overprint contributes nothing after its line's first text; the
        // check leaves line 1 alone, so rows printed there are all kept.
        if (row.Line == current && current > 1)
            continue;
        for (int i = current; i < row.Line; ++i)
            result += "\r\n";
        current = row.Line;
        result += row.Text;
    }
    return result;
}

QByteArray TPrintPage::ControlText() const
{
    QByteArray result;
    for (const TPrintRow& row : m_rows) {
        result += row.Control;
        result += row.Text;
        result += "\r\n";
    }
    return result;
}

void TPrintPage::CopyPageToClipboard() const
{
    HourglassCursor hourglass;
    Clipboard::current().setText(HostCodec::host().decode(NormalizeNumbers(Text())));
}

} // namespace lystra
