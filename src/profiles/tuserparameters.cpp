#include "profiles/tuserparameters.h"

#include <algorithm>

namespace lystra {

namespace {

const QString kCourier = QStringLiteral("Courier");
const QString kCourierNew = QStringLiteral("Courier New");

qsizetype indexOf(const QList<FontFamily>& list, const QString& name)
{
    const auto it = std::find_if(list.cbegin(), list.cend(),
                                 [&name](const FontFamily& f) { return f.name == name; });
    return it == list.cend() ? -1 : it - list.cbegin();
}

} // namespace

TUserParameters::TUserParameters(const PrintSystem& printSystem, QObject* parent)
    : QObject(parent), m_printSystem(printSystem)
{
    QList<FontFamily> fonts;
    const int index = ListFonts(fonts);
    if (index >= 0)
        m_fontName = fonts.at(index).name;
    m_printerName = m_printSystem.currentPrinterName();
}

void TUserParameters::setFontName(const QString& value)
{
    if (value != m_fontName)
        m_fontName = value;
}

void TUserParameters::setPrinterName(const QString& value)
{
    if (value != m_printerName)
        m_printerName = value;
}

int TUserParameters::ListFonts(QList<FontFamily>& list) const
{
    list = m_printSystem.fixedPitchFonts();
    return FontIndex(list);
}

int TUserParameters::FontIndex(const QList<FontFamily>& list) const
{
    for (const QString& name : {m_fontName, kCourier, kCourierNew}) {
        const qsizetype index = indexOf(list, name);
        if (index >= 0)
            return int(index);
    }
    return list.isEmpty() ? -1 : 0;
}

QString TUserParameters::ResolveFont(const QString& name) const
{
    const QList<FontFamily> fonts = m_printSystem.fixedPitchFonts();
    for (const QString& candidate : {name, kCourier, kCourierNew}) {
        if (indexOf(fonts, candidate) >= 0)
            return candidate;
    }
    return name;
}

QString TUserParameters::EffectiveFontName() const
{
    return ResolveFont(m_fontName).trimmed();
}

} // namespace lystra
