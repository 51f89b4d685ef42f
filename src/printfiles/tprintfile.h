#pragma once

#include "printfiles/tprintpage.h"
#include "printfiles/ttableformat.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QIODevice;

namespace lystra {

class TPrintFileStore;
class TRowValues;

// The formats a print file can be saved in, in the order of the save dialogs.
enum TStorageFormat { sfSpool, sfText, sfPdf };

// One spooled print file of a queue: the header values of its row in the print
// file table, and its pages, each read from the page-row table on first use
// and then kept. Text values are host text.
class TPrintFile {
public:
    using ProgressHandler = std::function<void(TPrintFile&)>;

    // Screen resolution used for the PDF font size when no screen tells.
    static constexpr int kDefaultScreenPixelsPerInch = 96;

    // Reads the header from `row` (columns FID, FDATE, FTIME, FHGHT, FWIDTH,
    // FPAGES, FCPI, FLPI, FSTAT, FTYPE, FFORM, FNAME, JOBNAM, FTXT, USER).
    // Raises when a column is missing, when FHGHT, FWIDTH or FPAGES is not an
    // integer or FCPI or FLPI not a number. An unreadable FDATE or FTIME
    // counts as zero; a FCPI or FLPI outside 0.01 to 1000 takes the default like
    // a blank one. `owner` is borrowed and must outlive the file.
    TPrintFile(TPrintFileStore* owner, const TRowValues& row);
    ~TPrintFile();

    TPrintFile(const TPrintFile&) = delete;
    TPrintFile& operator=(const TPrintFile&) = delete;

    // Called with the file before each page that printing, saving, copying or
    // the table analysis handles; set and cleared by the caller.
    ProgressHandler OnProgress;

    TPrintFileStore* Owner() const { return m_owner; }
    // FDATE plus FTIME, as wall-clock time without a time zone (held as UTC so
    // that no daylight-saving rule moves it). An unreadable date gives
    // 30 December 1899, an unreadable time midnight.
    const QDateTime& Created() const { return m_created; }
    bool HasCreatedDate() const { return m_hasDate; }
    // Created's date as "yyyymmdd", or "0" when FDATE gave no date.
    QByteArray CreatedDateDigits() const;
    // Created as the locale's short date, a blank and the long time; the time
    // is written also at midnight, so that every default name and document
    // title carries both parts.
    QString CreatedText() const;
    int PageLength() const { return m_pageLength; }
    int PageWidth() const { return m_pageWidth; }
    int PageCount() const { return m_pageCount; }
    double Cpi() const { return m_cpi; }
    double Lpi() const { return m_lpi; }
    const QByteArray& Status() const { return m_status; }
    const QByteArray& FileType() const { return m_fileType; }
    const QByteArray& Id() const { return m_id; }
    const QByteArray& FormName() const { return m_formName; }
    const QByteArray& FileName() const { return m_fileName; }
    const QByteArray& JobName() const { return m_jobName; }
    // FTXT, or the job name when FTXT is blank.
    const QByteArray& Title() const { return m_title; }
    const QByteArray& User() const { return m_user; }

    // More than 55 lines per page.
    bool IsPortrait() const { return m_pageLength > 55; }

    // The page with the 0-based `index`, read on first use under the hourglass.
    // Raises lystra::Exception for an index outside 0..PageCount-1, and passes
    // on the errors of reading (the page is then read again at the next use).
    TPrintPage& Page(int index);
    // Whether the page with that index has been read.
    bool IsPageLoaded(int index) const;

    // Sets the status and, when it changed, writes it to the print file table.
    // The new status stays in memory also when the statement fails.
    void SetStatus(const QByteArray& status);
    void SetViewed(bool viewed)
    {
        SetStatus(viewed ? QByteArrayLiteral("V") : QByteArrayLiteral(" "));
    }
    bool IsViewed() const { return m_status == "V"; }
    // The statement SetStatus runs.
    QByteArray StatusUpdateText(const QByteArray& status) const;

    // The file name the save dialogs propose: FileName, "-", Created as the
    // locale's date and time with "-" and ":" removed and the first blank made
    // "-", "-", Id. Characters that cannot be part of a file name (path
    // separators, ":*?\"<>|" and control characters) become "_".
    QString DocumentFileName() const;

    // The table format of this file (columns, rows, cell texts).
    TTableFormat& Table() { return m_table; }
    int ColumnCount() { return m_table.ColumnCount(); }
    const TColumnDef& Column(int k) { return m_table.Column(k); }
    int TableRowCount() { return m_table.TableRowCount(); }
    bool IsOverprintRow(int i) const { return m_table.IsOverprintRow(i); }
    QByteArray GetCellText(int i, int k) const { return m_table.GetCellText(i, k); }
    void CollectTableRows() { m_table.CollectTableRows(); }

    // Creates (or replaces) the file and writes the print file into it in the
    // chosen format, under the hourglass. Raises lystra::Exception when the file
    // cannot be created, before anything is written; a failure later leaves what
    // was written so far. `screenPixelsPerInch` sets the PDF font size.
    void SaveToFile(const QString& fileName, TStorageFormat format,
                    int screenPixelsPerInch = kDefaultScreenPixelsPerInch);
    // Every page's ControlText, one write per page.
    void WriteSpoolFile(QIODevice& out);
    // Every page's Text through NormalizeNumbers, one write per page, with CR LF
    // between pages so that the last line of a page never runs into the first
    // line of the next.
    void WriteTextFile(QIODevice& out);
    // One A4 page per page of the print file in Courier New (see pdfdocument.h).
    void WritePdfFile(QIODevice& out, int screenPixelsPerInch = kDefaultScreenPixelsPerInch);
    // Puts the text of all pages (as in the text file) on the clipboard.
    void CopyToClipboard();
    // The clipboard text of all pages, as host text.
    QByteArray ClipboardText();

    // Raises OnProgress, then lets pending events run.
    void RaiseProgress();

private:
    TPrintFileStore* m_owner;
    QDateTime m_created;
    bool m_hasDate = false;
    int m_pageLength = 0;
    int m_pageWidth = 0;
    int m_pageCount = 0;
    double m_cpi = 10;
    double m_lpi = 6;
    QByteArray m_status;
    QByteArray m_fileType;
    QByteArray m_id;
    QByteArray m_formName;
    QByteArray m_fileName;
    QByteArray m_jobName;
    QByteArray m_title;
    QByteArray m_user;
    // Slots of the pages read so far; grows to the highest page read, so that a
    // header claiming millions of pages costs nothing until they are read.
    std::vector<std::unique_ptr<TPrintPage>> m_pages;
    TTableFormat m_table;
};

} // namespace lystra
