#include "platform/gui/guiprintsystem.h"

#include <QFontDatabase>
#include <QPrinterInfo>

namespace lystra {

QStringList GuiPrintSystem::printerNames() const
{
    return QPrinterInfo::availablePrinterNames();
}

QString GuiPrintSystem::currentPrinterName() const
{
    const QString byDefault = QPrinterInfo::defaultPrinterName();
    if (!byDefault.isEmpty())
        return byDefault;
    return printerNames().value(0);
}

QList<FontFamily> GuiPrintSystem::fixedPitchFonts() const
{
    QList<FontFamily> fonts;
    const QStringList families = QFontDatabase::families();
    for (const QString& family : families) {
        if (QFontDatabase::isPrivateFamily(family) || !QFontDatabase::isFixedPitch(family))
            continue;
        const bool trueType = QFontDatabase::isSmoothlyScalable(family);
        const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(family);
        if (systems.isEmpty())
            fonts.append(FontFamily{family, trueType, {}});
        for (const QFontDatabase::WritingSystem system : systems)
            fonts.append(FontFamily{family, trueType, QFontDatabase::writingSystemName(system)});
    }
    return fonts;
}

} // namespace lystra
