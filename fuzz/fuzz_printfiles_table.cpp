// A print file made of arbitrary page rows, read as a table and saved: the
// first line sets FHGHT, FWIDTH and FLPI (blank-separated, through the header
// parsing); the rest are pages separated by form feeds, rows by line feeds,
// each row's first byte its control code. Every cell of the table is asked for,
// and the file is written as spool, text and PDF into memory.
#include "fakestore.h"

#include "platform/exception.h"
#include "printfiles/hosttext.h"
#include "printfiles/tprintfile.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

using namespace lystra;
using namespace lystra::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype firstBreak = input.indexOf('\n');
    const QList<QByteArray> header = input.left(firstBreak < 0 ? 0 : firstBreak).split(' ');
    const QByteArray body = firstBreak < 0 ? input : input.mid(firstBreak + 1);

    QList<QList<Line>> pages;
    for (const QByteArray& pageText : body.split('\f')) {
        QList<Line> rows;
        for (const QByteArray& row : pageText.split('\n'))
            rows.append({row.left(1), row.mid(1)});
        pages.append(rows);
    }
    FakeStore store;
    std::unique_ptr<TPrintFile> file;
    try {
        file = store.makeFile("1", pages,
                              {{"FHGHT", header.value(0, "66")},
                               {"FWIDTH", header.value(1, "132")},
                               {"FLPI", header.value(2, "6")},
                               {"FTXT", header.value(3)}});
    } catch (const Exception&) {
        return 0;
    }
    file->Table().RowFilters = {header.value(4), header.value(5)};

    const int columns = file->ColumnCount();
    const int rows = file->TableRowCount();
    for (int k = 0; k < columns; ++k) {
        const TColumnDef& column = file->Column(k);
        if (column.Width() < 0 || column.StartCol < 1)
            std::abort();
        (void)column.FormatMask();
    }
    for (int i = 0; i < rows; ++i) {
        (void)file->IsOverprintRow(i);
        for (int k = 0; k < columns; ++k)
            (void)file->GetCellText(i, k);
    }
    // Collecting again keeps the columns; kinds found meanwhile may change
    // which rows pass, so only the cells are checked again.
    file->CollectTableRows();
    for (int i = 0; i < file->TableRowCount(); ++i) {
        for (int k = 0; k < columns; ++k)
            (void)file->GetCellText(i, k);
    }

    for (int p = 0; p < file->PageCount(); ++p) {
        for (const TPrintRow& row : file->Page(p).Rows()) {
            if (row.Indent() < 1 || row.Indent() > row.Text.size() + 1)
                std::abort();
            (void)NormalizeNumbers(row.Text);
        }
    }
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    file->WriteSpoolFile(out);
    file->WriteTextFile(out);
    file->WritePdfFile(out);
    return 0;
}
