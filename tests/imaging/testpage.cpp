#include "testpage.h"

#include <QFont>
#include <QPainter>

#include <random>

namespace lystra::testing {

namespace {

QByteArray reportLine(int page, int line)
{
    static const char* const names[] = {"Åkesson Bygg AB", "Öberg & Söner", "Ärlinge Trä",
                                        "Lindqvist Måleri", "Björkö Fisk", "Nyström Järn"};
    char text[160];
    if (line % 20 == 0) {
        std::snprintf(text, sizeof text,
                      "KUNDRESKONTRA  Sida %4d   Datum 2024-03-%02d  Förfallna fakturor per kund",
                      page, 1 + line / 20);
    } else {
        const int n = page * 131 + line * 17;
        std::snprintf(text, sizeof text, "%06d  %-22s %10d,%02d %10d,%02d  %s", 100000 + n,
                      names[n % 6], n * 37 % 100000, n % 100, n * 53 % 10000, (n * 7) % 100,
                      n % 3 ? "Betald" : "Påminnelse skickad");
    }
    // The literal is UTF-8; the host text is windows-1252.
    return QString::fromUtf8(text).toLatin1();
}

} // namespace

QImage renderReportPage(int width, int height)
{
    QImage page(width, height, QImage::Format_RGB888);
    page.fill(Qt::white);
    page.setDotsPerMeterX(12000);
    page.setDotsPerMeterY(12000);
    QPainter painter(&page);
    QFont font(QStringLiteral("Liberation Mono"));
    font.setPixelSize(height / 90);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int lineHeight = height / 80;
    for (int line = 0; line < 72; ++line)
        painter.drawText(width / 20, height / 30 + line * lineHeight,
                         QString::fromLatin1(reportLine(1, line)));
    painter.drawLine(width / 20, height / 30 + 2, width - width / 20, height / 30 + 2);
    return page;
}

QByteArray reportSpoolText(int pages)
{
    QByteArray text;
    for (int page = 1; page <= pages; ++page) {
        for (int line = 0; line < 72; ++line)
            text += reportLine(page, line) + "\r\n";
        text += '\f';
    }
    return text;
}

QByteArray randomBytes(int count, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(count, '\0');
    for (char& b : bytes)
        b = char(random() & 0xFF);
    return bytes;
}

} // namespace lystra::testing
