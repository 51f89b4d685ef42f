// Saving a print file: spool, text and PDF files, and the clipboard copy.
#include "platform/clipboard.h"
#include "platform/exception.h"
#include "platform/hostcodec.h"
#include "platform/rounding.h"
#include "printfiles/hosttext.h"
#include "printfiles/hourglass.h"
#include "printfiles/pdfdocument.h"
#include "printfiles/tprintfile.h"

#include <QFile>

#include <algorithm>
#include <cmath>

#ifndef LYSTRA_VERSION
#define LYSTRA_VERSION "0"
#endif

namespace lystra {

namespace {

const QString kPdfFont = QStringLiteral("Courier New");

void writeAll(QIODevice& out, const QByteArray& bytes)
{
    if (out.write(bytes) != bytes.size())
        throw Exception(QStringLiteral("Kunde inte skriva filen: %1").arg(out.errorString()));
}

// Text between the pages of a whole-file text: without it the last line of a
// page and the first line of the next would share one line.
const QByteArray kPageSeparator = QByteArrayLiteral("\r\n");

// The font size and line pitch of a PDF, chosen on its first page and kept for
// the others.
struct PdfFit {
    int size = 1;
    int pitch = 1;
};

PdfFit fitPdfFont(PdfDocument& doc, const TPrintFile& file, double availableWidth,
                  double availableHeight, int screenPixelsPerInch)
{
    const int ppi =
        screenPixelsPerInch > 0 ? screenPixelsPerInch : TPrintFile::kDefaultScreenPixelsPerInch;
    const auto sizeOf = [ppi](int v) {
        return std::max(1, mulDiv(72, v, ppi));
    };
    // The width of PageWidth letters "W": a multiple of one, so a header
    // claiming an absurd width is measured without building the string.
    const auto widthOf = [&](int v) {
        if (file.PageWidth() <= 0)
            return 0.0;
        return static_cast<double>(
            roundHalfEven64(file.PageWidth() * doc.textWidth(kPdfFont, sizeOf(v), "W")));
    };

    const double perLine = doc.resolution() / file.Lpi();
    int v = roundHalfEven(perLine) + 2;
    while (v > 1 && widthOf(v) > availableWidth)
        --v;
    // The pitch steps down until the page's lines fit; the font never stays
    // taller than the pitch. At least 1, so that no size reaches 0.
    int pitch = roundHalfEven(perLine);
    if (file.PageLength() > 0 && static_cast<double>(file.PageLength()) * pitch > availableHeight) {
        pitch = std::max(1, static_cast<int>(std::floor(availableHeight / file.PageLength())));
        v = std::min(v, pitch);
    }
    pitch = std::max(1, pitch);
    return {sizeOf(v), pitch};
}

PdfDocument::Info pdfInfo(const TPrintFile& file)
{
    const HostCodec& codec = HostCodec::host();
    const QString user = codec.decode(file.User());
    const QString title = codec.decode(file.Title());
    const QString jobName = codec.decode(file.JobName());
    const QString fileName = codec.decode(file.FileName());
    PdfDocument::Info info;
    info.author = user;
    info.creationDate = file.Created();
    info.creator = QStringLiteral("Lystra " LYSTRA_VERSION);
    info.subject = title;
    info.title =
        fileName + u'-' + jobName + u'-' + file.CreatedText() + u'-' + codec.decode(file.Id());
    info.keywords = title + u';' + jobName + u';' + fileName + u';' + user;
    return info;
}

} // namespace

void TPrintFile::SaveToFile(const QString& fileName, TStorageFormat format, int screenPixelsPerInch)
{
    HourglassCursor hourglass;
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Exception(
            QStringLiteral("Kan inte skapa filen \"%1\": %2").arg(fileName, file.errorString()));
    switch (format) {
    case sfSpool:
        WriteSpoolFile(file);
        break;
    case sfText:
        WriteTextFile(file);
        break;
    case sfPdf:
        WritePdfFile(file, screenPixelsPerInch);
        break;
    }
    if (!file.flush())
        throw Exception(QStringLiteral("Kunde inte skriva filen: %1").arg(file.errorString()));
}

void TPrintFile::WriteSpoolFile(QIODevice& out)
{
    for (int i = 0; i < m_pageCount; ++i) {
        RaiseProgress();
        writeAll(out, Page(i).ControlText());
    }
}

void TPrintFile::WriteTextFile(QIODevice& out)
{
    for (int i = 0; i < m_pageCount; ++i) {
        RaiseProgress();
        QByteArray text = NormalizeNumbers(Page(i).Text());
        if (i > 0)
            text.prepend(kPageSeparator);
        writeAll(out, text);
    }
}

QByteArray TPrintFile::ClipboardText()
{
    QByteArray text;
    for (int i = 0; i < m_pageCount; ++i) {
        RaiseProgress();
        if (i > 0)
            text += kPageSeparator;
        text += NormalizeNumbers(Page(i).Text());
    }
    return text;
}

void TPrintFile::CopyToClipboard()
{
    HourglassCursor hourglass;
    const QByteArray text = ClipboardText();
    Clipboard::current().setText(HostCodec::host().decode(text));
}

void TPrintFile::WritePdfFile(QIODevice& out, int screenPixelsPerInch)
{
    PdfDocument doc(out);
    doc.setFlateCompression();
    doc.setSinglePageLayout();
    doc.setInfo(pdfInfo(*this));
    const int margin = divRound(doc.resolution() * 5, kMillimetresPerInch);
    doc.beginDoc();
    try {
        PdfFit fit;
        for (int i = 0; i < m_pageCount; ++i) {
            const TPrintPage& page = Page(i);
            RaiseProgress();
            if (i > 0)
                doc.newPage();
            doc.setA4(IsPortrait() ? PdfDocument::Orientation::Portrait
                                   : PdfDocument::Orientation::Landscape);
            doc.beginText();
            if (i == 0)
                fit = fitPdfFont(doc, *this, doc.pageWidth() - 2 * margin,
                                 doc.pageHeight() - 2 * margin, screenPixelsPerInch);
            doc.selectFont(kPdfFont, fit.size);
            for (const TPrintRow& row : page.Rows())
                doc.textOut(margin, margin + static_cast<double>(row.Line) * fit.pitch, row.Text);
            doc.endText();
        }
    } catch (...) {
        // What was drawn so far still makes a document.
        try {
            doc.endDoc();
        } catch (...) {
        }
        throw;
    }
    doc.endDoc();
}

} // namespace lystra
