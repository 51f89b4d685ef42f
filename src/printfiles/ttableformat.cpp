#include "printfiles/ttableformat.h"

#include "platform/convert.h"
#include "platform/exception.h"
#include "platform/formatsettings.h"
#include "platform/hostcodec.h"
#include "printfiles/hosttext.h"
#include "printfiles/tprintfile.h"
#include "printfiles/tprintpage.h"

#include <algorithm>

namespace lystra {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A decimal number in the standard notation: an optional sign, digits with at
// most one ".", at least one digit, and an optional exponent.
bool isDecimalNumber(QByteArrayView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        const qsizetype start = i;
        while (i < n && isDigit(text[i]))
            ++i;
        if (i == start)
            return false;
    }
    return i == n;
}

bool isUnderlineChar(char c)
{
    return c == '=' || c == '-' || c == '_';
}

// A cell of a number or date column that is nothing but "=", "-" and "_".
// A cell with no such character left (a lone minus sign, blanked as a
// trailing minus) is a value, not an underline: its row is kept.
bool isUnderline(QByteArrayView cell)
{
    bool any = false;
    for (char c : cell) {
        if (c == ' ')
            continue;
        if (!isUnderlineChar(c))
            return false;
        any = true;
    }
    return any;
}

// 1-based position of the last character that is not a blank; 0 if none.
qsizetype lastNonBlank(QByteArrayView text)
{
    for (qsizetype i = text.size(); i > 0; --i) {
        if (text[i - 1] != ' ')
            return i;
    }
    return 0;
}

QByteArray slice(const QByteArray& line, int startCol, int width)
{
    return line.mid(startCol - 1, width);
}

QDate zeroDate()
{
    return QDate(1899, 12, 30);
}

} // namespace

TTableFormat::TTableFormat(TPrintFile& file) : m_file(file) {}

int TTableFormat::ColumnCount()
{
    Analyse();
    return static_cast<int>(m_columns.size());
}

const TColumnDef& TTableFormat::Column(int k)
{
    Analyse();
    if (k < 0 || k >= static_cast<int>(m_columns.size()))
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(k));
    return m_columns[static_cast<std::size_t>(k)];
}

int TTableFormat::TableRowCount()
{
    Analyse();
    return static_cast<int>(m_tableRows.size());
}

void TTableFormat::Analyse()
{
    if (m_analysed)
        return;
    // Set first: progress handlers that ask for the table while it is being
    // built see the part built so far instead of starting a second analysis.
    m_analysed = true;
    try {
        if (BuildColumns())
            Collect();
    } catch (...) {
        Reset();
        throw;
    }
}

void TTableFormat::Reset()
{
    m_columns.clear();
    m_tableRows.clear();
    m_headerPage = -1;
    m_firstDataRow = -1;
    m_analysed = false;
}

bool TTableFormat::IsSeparatorLine(QByteArrayView line)
{
    if (IsBlankHost(line))
        return false;
    bool hasMark = false;
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ')
            continue;
        if (c == 'I')
            hasMark = true;
        else if (!isUnderlineChar(c))
            return false;
    }
    return hasMark;
}

bool TTableFormat::BuildColumns()
{
    const int lastPage = std::min(m_file.PageCount(), 3);
    const TPrintPage* rulerPage = nullptr;
    int rulerIndex = -1;
    for (int p = 1; p <= lastPage && !rulerPage; ++p) {
        const TPrintPage& page = m_file.Page(p - 1);
        for (int r = 0; r < page.RowCount(); ++r) {
            if (IsSeparatorLine(page.Row(r).Text)) {
                rulerPage = &page;
                rulerIndex = r;
                break;
            }
        }
    }
    if (!rulerPage)
        return false;

    const QByteArray& ruler = rulerPage->Row(rulerIndex).Text;
    std::vector<TColumnDef> columns;
    int start = 1;
    for (int pos = 1; pos <= ruler.size(); ++pos) {
        if (ruler[pos - 1] != 'I')
            continue;
        TColumnDef column;
        column.StartCol = start;
        column.EndCol = pos - 1;
        columns.push_back(column);
        start = pos + 1;
    }
    TColumnDef last;
    last.StartCol = start;
    last.EndCol = static_cast<int>(ruler.size()) + 1;
    columns.push_back(last);

    if (rulerIndex > 0) {
        const QByteArray& heading = rulerPage->Row(rulerIndex - 1).Text;
        for (TColumnDef& column : columns)
            column.Name = TrimHost(slice(heading, column.StartCol, column.Width()));
    }
    m_columns = std::move(columns);
    m_headerPage = rulerPage->PageNo();
    m_firstDataRow = rulerIndex + 1;
    return true;
}

bool TTableFormat::MatchesFilter(QByteArrayView line) const
{
    return std::any_of(RowFilters.begin(), RowFilters.end(), [line](const QByteArray& filter) {
        return !filter.isEmpty() && line.contains(filter);
    });
}

bool TTableFormat::ClassifyCell(TColumnDef& column, QByteArrayView cell)
{
    if (IsBlankHost(cell))
        return true;
    ++column.CellCount;
    const char ds = HostDecimalSeparator();
    QByteArray d = NormalizeNumbers(cell, ds);
    if (d.endsWith('-'))
        d[d.size() - 1] = ' ';
    const qsizetype p = d.indexOf(ds) + 1;
    if (p > 0)
        d[p - 1] = '.';

    const bool isNumber = isDecimalNumber(TrimHost(d));
    column.HasNumber = column.HasNumber || isNumber;
    if (isNumber && d.startsWith(' ')) {
        // Right-aligned: the number does not start at the column's first position.
        if (p > 0) {
            column.CellCount = std::max(0, column.CellCount - 1);
            ++column.DecimalCount;
            column.Kind = TColumnKind::Number;
            column.Decimals = static_cast<int>(std::max<qsizetype>(0, lastNonBlank(d) - p));
        }
        return true;
    }
    if (column.Kind == TColumnKind::Text)
        return true;
    return !isUnderline(d);
}

void TTableFormat::FinalizeColumnType(TColumnDef& column)
{
    if (column.HasNumber) {
        const QString name = HostCodec::host().decode(column.Name);
        const auto has = [&name](const char16_t* word) {
            return name.contains(QStringView(word), Qt::CaseInsensitive);
        };
        if (has(u"datum") || has(u"dat") || has(u"dag") ||
            (has(u"bokfört") && !has(u"värde") && !has(u"belopp")))
            column.Kind = TColumnKind::Date;
    }
    const int total = column.CellCount + column.DecimalCount;
    // More than 60 % of the cells were not right-aligned decimal numbers.
    if (column.Kind == TColumnKind::Number && total >= 10 && 5 * column.CellCount > 3 * total)
        column.Kind = TColumnKind::Text;
}

void TTableFormat::CollectTableRows()
{
    if (!m_analysed) {
        Analyse();
        return;
    }
    Collect();
}

void TTableFormat::Collect()
{
    m_tableRows.clear();
    if (m_headerPage < 1)
        return;
    bool accepted = true;
    for (int p = m_headerPage; p <= m_file.PageCount(); ++p) {
        const TPrintPage& page = m_file.Page(p - 1);
        for (int r = m_firstDataRow; r < page.RowCount(); ++r) {
            const QByteArray line = TrimRightHost(page.Row(r).Text);
            if (line.isEmpty() || MatchesFilter(line))
                continue;
            if (!accepted) {
                accepted = true; // the line after an underline is never a table row
                continue;
            }
            for (TColumnDef& column : m_columns) {
                if (line.size() < column.StartCol)
                    break;
                const bool cellAccepted =
                    ClassifyCell(column, slice(line, column.StartCol, column.Width()));
                accepted = accepted && cellAccepted;
            }
            if (accepted)
                m_tableRows.push_back({p, r});
        }
        m_file.RaiseProgress();
    }
    for (TColumnDef& column : m_columns)
        FinalizeColumnType(column);
}

const TPrintRow& TTableFormat::RowAt(int i) const
{
    if (i < 0 || i >= static_cast<int>(m_tableRows.size()))
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(i));
    const TTableRowRef ref = m_tableRows[static_cast<std::size_t>(i)];
    return m_file.Page(ref.Page - 1).Row(ref.Row);
}

bool TTableFormat::IsOverprintRow(int i) const
{
    return RowAt(i).Control == '+';
}

QDate TTableFormat::DateFromDigits(QByteArrayView text)
{
    const auto part = [text](qsizetype from, qsizetype length) -> int {
        if (text.size() < from + length)
            return -1;
        const QByteArrayView digits = text.sliced(from, length);
        if (!std::all_of(digits.begin(), digits.end(), isDigit))
            return -1;
        return toInt(digits);
    };
    const int year = part(0, 4);
    const int month = part(4, 2);
    const int day = part(6, 2);
    if (year < 1 || month < 0 || day < 0)
        return zeroDate();
    const QDate date(year, month, day);
    return date.isValid() ? date : zeroDate();
}

QByteArray TTableFormat::GetCellText(int i, int k) const
{
    const TPrintRow& row = RowAt(i);
    if (k < 0 || k >= static_cast<int>(m_columns.size()))
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(k));
    const QByteArray line = TrimRightHost(row.Text);
    const TColumnDef& column = m_columns[static_cast<std::size_t>(k)];
    const int s = column.StartCol;
    const int length = static_cast<int>(line.size());
    const auto blankAt = [&line](int pos) {
        return line[pos - 1] == ' ';
    };

    if (s > 1 && s - 1 < length && !blankAt(s - 1))
        return {}; // the text belongs to the column on the left

    int w = column.Width();
    const int declared = w;
    while (s + w <= length && !blankAt(s + w))
        ++w;
    if (w > declared) {
        for (std::size_t next = static_cast<std::size_t>(k) + 1; next < m_columns.size(); ++next) {
            while (s + w <= length && s + w <= m_columns[next].EndCol)
                ++w;
            if (s + w > length || blankAt(s + w))
                break;
        }
    }
    QByteArray text = TrimHost(slice(line, s, w));

    switch (column.Kind) {
    case TColumnKind::Number:
        // Trimmed again after the stars went, so that "**1.234,50-" reads
        // "-1234,50" rather than a minus in front of blanks.
        text = TrimHost(ReplaceStars(NormalizeNumbers(text)));
        if (text.endsWith('-')) {
            text.chop(1);
            text = '-' + TrimHost(text);
        }
        return text;
    case TColumnKind::Date:
        if (text.size() >= 6) {
            if (text.size() < 8) {
                const auto century = parseInt64(text.first(2));
                text.prepend(!century || *century <= 49 ? "20" : "19");
            }
            const QString shown = FormatSettings::current().dateText(DateFromDigits(text));
            return HostCodec::host().encode(shown);
        }
        return text;
    case TColumnKind::Text:
        break;
    }
    return text;
}

} // namespace lystra
