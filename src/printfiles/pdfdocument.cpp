#include "printfiles/pdfdocument.h"

#include "platform/exception.h"
#include "platform/hostcodec.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QMutex>
#include <QStandardPaths>

#include <hpdf.h>

#include <algorithm>

namespace lystra {

namespace {

const char* const kWinAnsi = "WinAnsiEncoding";

// libharu rejects larger sizes.
constexpr int kMaxFontSize = 600;

bool isStandardFont(const QString& name)
{
    static const QStringList names = {QStringLiteral("Courier"),
                                      QStringLiteral("Courier-Bold"),
                                      QStringLiteral("Courier-Oblique"),
                                      QStringLiteral("Courier-BoldOblique"),
                                      QStringLiteral("Helvetica"),
                                      QStringLiteral("Helvetica-Bold"),
                                      QStringLiteral("Helvetica-Oblique"),
                                      QStringLiteral("Helvetica-BoldOblique"),
                                      QStringLiteral("Times-Roman"),
                                      QStringLiteral("Times-Bold"),
                                      QStringLiteral("Times-Italic"),
                                      QStringLiteral("Times-BoldItalic"),
                                      QStringLiteral("Symbol"),
                                      QStringLiteral("ZapfDingbats")};
    return names.contains(name);
}

QString searchCourierNew()
{
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::FontsLocation);
    folders << QStringLiteral("/usr/share/fonts") << QStringLiteral("/usr/local/share/fonts")
            << QStringLiteral("C:/Windows/Fonts");
    const QStringList names = {QStringLiteral("cour.ttf"), QStringLiteral("courier new.ttf"),
                               QStringLiteral("courier_new.ttf"), QStringLiteral("couriernew.ttf")};
    for (const QString& folder : folders) {
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (names.contains(QFileInfo(path).fileName().toLower()))
                return path;
        }
    }
    return {};
}

struct FontFiles {
    QMutex mutex;
    QHash<QString, QString> files; // family -> path; an empty path means none
};

FontFiles& fontFiles()
{
    static FontFiles instance;
    return instance;
}

// Text for a WinAnsiEncoding font: windows-1252 bytes, control characters as
// blanks (a NUL would end the text early and the others have no glyphs).
QByteArray winAnsiText(QByteArrayView hostText)
{
    QByteArray bytes;
    if (HostCodec::host().name() == HostCodec::defaultCodePage()) {
        bytes = hostText.toByteArray();
    } else {
        static const HostCodec winAnsi(HostCodec::defaultCodePage());
        bytes = winAnsi.encode(HostCodec::host().decode(hostText));
    }
    for (char& c : bytes) {
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    }
    return bytes;
}

} // namespace

struct PdfDocument::Impl {
    QIODevice* out = nullptr;
    HPDF_Doc pdf = nullptr;
    HPDF_Page page = nullptr;
    HPDF_Font font = nullptr;
    int fontSize = 0;
    int pages = 0;
    bool ended = false;
    HPDF_STATUS error = HPDF_OK;
    HPDF_STATUS detail = 0;
    QHash<QString, HPDF_Font> fonts;

    static void onError(HPDF_STATUS error, HPDF_STATUS detail, void* data)
    {
        auto* self = static_cast<Impl*>(data);
        if (self->error == HPDF_OK) {
            self->error = error;
            self->detail = detail;
        }
    }

    // Raises the first error the library reported since the last check.
    void check()
    {
        if (error == HPDF_OK)
            return;
        const auto code = error;
        const auto info = detail;
        error = HPDF_OK;
        HPDF_ResetError(pdf);
        throw Exception(QStringLiteral("PDF-fel 0x%1 (%2)")
                            .arg(static_cast<unsigned>(code), 4, 16, QLatin1Char('0'))
                            .arg(static_cast<unsigned>(info)));
    }

    HPDF_Font fontByName(const QString& name)
    {
        if (const auto it = fonts.constFind(name); it != fonts.constEnd())
            return it.value();
        HPDF_Font result = nullptr;
        const QString file = fontFile(name);
        if (!file.isEmpty()) {
            const char* loaded =
                HPDF_LoadTTFontFromFile(pdf, QFile::encodeName(file).constData(), HPDF_TRUE);
            check();
            result = HPDF_GetFont(pdf, loaded, kWinAnsi);
        } else {
            const QString base = isStandardFont(name) ? name : QStringLiteral("Courier");
            result = HPDF_GetFont(pdf, base.toLatin1().constData(), kWinAnsi);
        }
        check();
        fonts.insert(name, result);
        return result;
    }

    void requirePage() const
    {
        if (!page)
            throw Exception(QStringLiteral("PDF-dokumentet har ingen sida"));
    }
};

PdfDocument::PdfDocument(QIODevice& out) : d(std::make_unique<Impl>())
{
    d->out = &out;
    d->pdf = HPDF_New(&Impl::onError, d.get());
    if (!d->pdf)
        throw Exception(QStringLiteral("PDF-dokumentet kunde inte skapas"));
    HPDF_UseUTFEncodings(d->pdf);
    d->check();
}

PdfDocument::~PdfDocument()
{
    HPDF_Free(d->pdf);
}

void PdfDocument::setFlateCompression()
{
    HPDF_SetCompressionMode(d->pdf, HPDF_COMP_ALL);
    d->check();
}

void PdfDocument::setSinglePageLayout()
{
    HPDF_SetPageLayout(d->pdf, HPDF_PAGE_LAYOUT_SINGLE);
    d->check();
}

void PdfDocument::setInfo(const Info& info)
{
    // Information strings go in as UTF-8 and are stored as Unicode text.
    HPDF_SetCurrentEncoder(d->pdf, "UTF-8");
    d->check();
    const auto set = [this](HPDF_InfoType type, const QString& value) {
        HPDF_SetInfoAttr(d->pdf, type, value.toUtf8().constData());
        d->check();
    };
    set(HPDF_INFO_AUTHOR, info.author);
    set(HPDF_INFO_CREATOR, info.creator);
    set(HPDF_INFO_SUBJECT, info.subject);
    set(HPDF_INFO_TITLE, info.title);
    set(HPDF_INFO_KEYWORDS, info.keywords);
    const QDate date = info.creationDate.date();
    const QTime time = info.creationDate.time();
    if (date.isValid() && date.year() >= 1 && date.year() <= 9999) {
        HPDF_Date pdfDate{};
        pdfDate.year = date.year();
        pdfDate.month = date.month();
        pdfDate.day = date.day();
        pdfDate.hour = time.hour();
        pdfDate.minutes = time.minute();
        pdfDate.seconds = time.second();
        pdfDate.ind = ' ';
        HPDF_SetInfoDateAttr(d->pdf, HPDF_INFO_CREATION_DATE, pdfDate);
        d->check();
    }
}

void PdfDocument::beginDoc()
{
    newPage();
    setA4(Orientation::Portrait);
}

void PdfDocument::newPage()
{
    if (m_inText)
        endText();
    d->page = HPDF_AddPage(d->pdf);
    d->check();
    d->font = nullptr;
    ++d->pages;
}

void PdfDocument::setA4(Orientation orientation)
{
    d->requirePage();
    const bool portrait = orientation == Orientation::Portrait;
    HPDF_Page_SetWidth(d->page, portrait ? 595 : 842);
    HPDF_Page_SetHeight(d->page, portrait ? 842 : 595);
    d->check();
}

double PdfDocument::pageWidth() const
{
    d->requirePage();
    return HPDF_Page_GetWidth(d->page);
}

double PdfDocument::pageHeight() const
{
    d->requirePage();
    return HPDF_Page_GetHeight(d->page);
}

void PdfDocument::beginText()
{
    d->requirePage();
    HPDF_Page_BeginText(d->page);
    d->check();
    m_inText = true;
}

void PdfDocument::endText()
{
    if (!m_inText)
        return;
    m_inText = false;
    HPDF_Page_EndText(d->page);
    d->check();
}

void PdfDocument::selectFont(const QString& name, int size)
{
    d->requirePage();
    size = std::clamp(size, 1, kMaxFontSize);
    d->font = d->fontByName(name);
    d->fontSize = size;
    HPDF_Page_SetFontAndSize(d->page, d->font, static_cast<HPDF_REAL>(size));
    d->check();
}

double PdfDocument::textWidth(const QString& fontName, int size, QByteArrayView text)
{
    size = std::clamp(size, 1, kMaxFontSize);
    const QByteArray bytes = winAnsiText(text);
    const HPDF_TextWidth width = HPDF_Font_TextWidth(
        d->fontByName(fontName), reinterpret_cast<const HPDF_BYTE*>(bytes.constData()),
        static_cast<HPDF_UINT>(bytes.size()));
    d->check();
    return width.width * static_cast<double>(size) / 1000.0;
}

void PdfDocument::textOut(double x, double y, QByteArrayView text)
{
    d->requirePage();
    if (!d->font)
        throw Exception(QStringLiteral("PDF-dokumentet har inget typsnitt valt"));
    const double ascent = HPDF_Font_GetAscent(d->font) * d->fontSize / 1000.0;
    const double baseline = HPDF_Page_GetHeight(d->page) - y - ascent;
    HPDF_Page_TextOut(d->page, static_cast<HPDF_REAL>(x), static_cast<HPDF_REAL>(baseline),
                      winAnsiText(text).constData());
    d->check();
}

void PdfDocument::endDoc()
{
    if (d->ended)
        return;
    d->ended = true;
    if (m_inText)
        endText();
    if (d->pages == 0) {
        newPage();
        setA4(Orientation::Portrait);
    }
    HPDF_SaveToStream(d->pdf);
    d->check();
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        HPDF_UINT32 size = static_cast<HPDF_UINT32>(buffer.size());
        const HPDF_STATUS status =
            HPDF_ReadFromStream(d->pdf, reinterpret_cast<HPDF_BYTE*>(buffer.data()), &size);
        if (size > 0 && d->out->write(buffer.constData(), size) != static_cast<qint64>(size))
            throw Exception(
                QStringLiteral("Kunde inte skriva PDF-filen: %1").arg(d->out->errorString()));
        if (status == HPDF_STREAM_EOF)
            break;
        if (status != HPDF_OK) {
            d->check();
            throw Exception(QStringLiteral("PDF-fel 0x%1")
                                .arg(static_cast<unsigned>(status), 4, 16, QLatin1Char('0')));
        }
    }
    // The library reports the end of its stream through the error handler too.
    if (d->error == HPDF_STREAM_EOF) {
        d->error = HPDF_OK;
        HPDF_ResetError(d->pdf);
    }
}

QString PdfDocument::fontFile(const QString& family)
{
    FontFiles& registry = fontFiles();
    QMutexLocker lock(&registry.mutex);
    if (const auto it = registry.files.constFind(family); it != registry.files.constEnd())
        return it.value();
    QString path;
    if (family.compare(QLatin1StringView("Courier New"), Qt::CaseInsensitive) == 0)
        path = searchCourierNew();
    registry.files.insert(family, path);
    return path;
}

void PdfDocument::registerFontFile(const QString& family, const QString& path)
{
    FontFiles& registry = fontFiles();
    QMutexLocker lock(&registry.mutex);
    registry.files.insert(family, path);
}

} // namespace lystra
