#pragma once

#include "printfiles/tcolumndef.h"

#include <QByteArray>
#include <QDate>
#include <QList>

#include <vector>

namespace lystra {

class TPrintFile;
class TPrintRow;

// Where a table row lies: the page number (1-based) and the row's index in that
// page's Rows (0-based). Kept as a pair, so pages of any length are read whole.
struct TTableRowRef {
    int Page = 0;
    int Row = 0;
    bool operator==(const TTableRowRef&) const = default;
};

// A print file read as a table: the ruler line (a line of "I" column marks with
// "=", "-" or "_") on one of the first three pages cuts the columns, the line
// above it names them, and the non-blank lines below the ruler's position on
// that page and every later page are the rows, except rows holding a filter
// string, underlines and the row after an underline. Each column ends up as
// text, numbers (with decimals) or dates.
//
// Analysis runs once, on the first ColumnCount(), Column() or TableRowCount();
// it reads every page from the ruler's page on, raising the file's OnProgress
// per page. When it fails (a page that cannot be read) the table is left
// unanalysed and the next call tries again.
class TTableFormat {
public:
    // `file` owns the table format and outlives it.
    explicit TTableFormat(TPrintFile& file);

    // Filter strings in force (host text); empty means unfiltered. A row holding
    // one of them (case-sensitive; an empty string never matches) is left out.
    QList<QByteArray> RowFilters;

    int ColumnCount();
    // The k-th column (0-based); raises lystra::Exception when out of range.
    const TColumnDef& Column(int k);
    int TableRowCount();
    const std::vector<TTableRowRef>& TableRows() const { return m_tableRows; }

    // Whether table row i was printed over the line before ("+").
    bool IsOverprintRow(int i) const;
    // The display text of cell (row i, column k): a cell whose left neighbour
    // character is not blank is empty (its text belongs to the column on the
    // left); text running on past the column takes in whole following columns;
    // numbers are normalised, "*" shown as blanks and a trailing minus moved to
    // the front; dates "yyyymmdd" or "yymmdd" (years 00-49 are 20xx) come in the
    // locale's short date format. Host text. Raises when i or k is out of range.
    QByteArray GetCellText(int i, int k) const;

    // Collects the rows again with the current RowFilters, keeping the columns
    // (the counters of the columns keep counting); analyses first when that has
    // not happened yet.
    void CollectTableRows();

    int HeaderPage() const { return m_headerPage; }
    int FirstDataRow() const { return m_firstDataRow; }
    bool Analysed() const { return m_analysed; }

    // The steps of the analysis, public for the table view and for tests.
    static bool IsSeparatorLine(QByteArrayView line);
    bool MatchesFilter(QByteArrayView line) const;
    // Counts a cell into its column; false when the cell is an underline.
    static bool ClassifyCell(TColumnDef& column, QByteArrayView cell);
    static void FinalizeColumnType(TColumnDef& column);
    // "yyyymmdd" (only the first 8 characters count) as a date; 30 December
    // 1899 when the digits give no valid date.
    static QDate DateFromDigits(QByteArrayView text);

private:
    void Analyse();
    bool BuildColumns();
    void Collect();
    void Reset();
    const TPrintRow& RowAt(int i) const;

    TPrintFile& m_file;
    std::vector<TColumnDef> m_columns;
    std::vector<TTableRowRef> m_tableRows;
    int m_headerPage = -1;
    int m_firstDataRow = -1;
    bool m_analysed = false;
};

} // namespace lystra
