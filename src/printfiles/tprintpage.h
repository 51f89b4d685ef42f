#pragma once

#include <QByteArray>

#include <memory>
#include <vector>

namespace lystra {

class TPrintFile;

// One stored line of a page with its carriage-control code.
class TPrintRow {
public:
    char Control = ' '; // first character of FCTL; a blank when FCTL was empty
    int Line = 0;       // print line on the page, 1-based ("+" first on a page: 0)
    int RowNo = 0;      // FLINE
    int PageNo = 0;     // FPAGE
    QByteArray Text;    // FROW as stored, leading and trailing blanks included

    // 1-based column of the first non-blank character of Text; 1 when Text is
    // blank. Only blanks (code 32) count as indentation. Computed once.
    int Indent() const;
    // Text without its first Indent() - 1 characters.
    QByteArray TrimmedText() const;

    // How far the print line moves before a row with this control code is
    // printed (ASA carriage control): "+" 0, "0" 2, "-" 3, any other 1.
    static int LineAdvance(char control);

private:
    mutable int m_indent = -1;
};

// The rows of one page of a print file, in FLINE order, with their print lines.
// Line never decreases along Rows.
class TPrintPage {
public:
    // An empty page `pageNo` (1-based) of `file`, which must outlive it.
    TPrintPage(const TPrintFile* file, int pageNo);

    // Reads page `pageNo` through the file's store: one SELECT on the page-row
    // table, rows in FLINE order, line numbers from the control codes, and a
    // last row that is the job's title left out. Raises on SQL errors and on an
    // FPAGE or FLINE that is not an integer.
    static std::unique_ptr<TPrintPage> Read(const TPrintFile& file, int pageNo);
    // The SELECT that Read runs.
    static QByteArray SelectText(const TPrintFile& file, int pageNo);

    // Appends a row and places it on the next print line by `control` (only its
    // first character counts; empty means a blank code).
    void AppendRow(QByteArrayView control, const QByteArray& text, int rowNo, int pageNo);
    // Leaves out the last row when its text, trimmed, equals `title` exactly.
    void DropTitleRow(const QByteArray& title);

    const TPrintFile* File() const { return m_file; }
    int PageNo() const { return m_pageNo; }
    const std::vector<TPrintRow>& Rows() const { return m_rows; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // The i-th row (0-based); raises lystra::Exception when out of range.
    const TPrintRow& Row(int i) const;

    // The rows placed on their print lines: CR LF pairs before a row to reach
    // its line, a row that overprints a line after line 1 left out, no line
    // break after the last row, trailing blanks kept.
    QByteArray Text() const;
    // For every row its control code, its text and CR LF; overprints included.
    QByteArray ControlText() const;

    // Puts NormalizeNumbers of Text() on the clipboard, under the hourglass.
    void CopyPageToClipboard() const;

private:
    const TPrintFile* m_file;
    int m_pageNo;
    int m_line = 0;
    std::vector<TPrintRow> m_rows;
};

} // namespace lystra
