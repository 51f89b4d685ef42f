#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>

class QIODevice;

namespace lystra {

// A PDF document written through libharu, with the few operations saving a
// print file needs: document information, Flate compression, single-page
// layout, A4 pages in either orientation, text objects, a font by name and
// size, text width and text out. Positions are in page units (72 per inch)
// measured from the top-left corner of the page; a text is placed with the top
// of its font's ascent at y, as a screen canvas places text.
//
// Text is host text (8-bit in the host code page). Fonts are drawn with
// WinAnsiEncoding, so windows-1252 bytes go in directly and å, ä, ö come out
// right; host text of another code page is re-encoded.
//
// "Courier New" is embedded from its TrueType file when the machine has one
// (see registerFontFile); otherwise the standard PDF font Courier stands in,
// which has the same advance widths. Other names of the fourteen standard PDF
// fonts are used as they are; unknown names fall back to Courier.
//
// Errors of the library raise lystra::Exception "PDF-fel <code> (<detail>)".
// The document is built in memory and written to the device by endDoc().
class PdfDocument {
public:
    enum class Orientation { Portrait, Landscape };

    struct Info {
        QString author;
        QDateTime creationDate; // wall-clock time; written without a time zone
        QString creator;
        QString subject;
        QString title;
        QString keywords;
    };

    // `out` is borrowed; it must be open for writing and outlive the document.
    explicit PdfDocument(QIODevice& out);
    ~PdfDocument();

    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    void setFlateCompression();
    void setSinglePageLayout();
    void setInfo(const Info& info);
    // Page units per inch.
    int resolution() const { return 72; }

    // Starts the document with its first page.
    void beginDoc();
    // Starts another page; it becomes the current page.
    void newPage();
    // Makes the current page A4 (595 by 842 units) in the given orientation.
    void setA4(Orientation orientation);
    double pageWidth() const;
    double pageHeight() const;

    void beginText();
    void endText();
    bool inText() const { return m_inText; }
    // Selects a font for the current page; sizes below 1 become 1.
    void selectFont(const QString& name, int size);
    // The width of `text` in a font at a size, without selecting it.
    double textWidth(const QString& fontName, int size, QByteArrayView text);
    // Draws `text` with the selected font, top-left at (x, y).
    void textOut(double x, double y, QByteArrayView text);

    // Writes the document to the device. Adds an empty A4 page first when the
    // document has none. Further calls do nothing.
    void endDoc();

    // The TrueType file that is embedded for the font `family`, or an empty
    // string. "Courier New" is looked up once among the usual font folders.
    static QString fontFile(const QString& family);
    // Uses `path` for `family` from now on (an empty path forgets it).
    static void registerFontFile(const QString& family, const QString& path);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    bool m_inText = false;
};

} // namespace lystra
