#pragma once

#include "platform/printsystem.h"

namespace lystra {

// The print system of a Qt GUI program: printers from Qt's printer list
// (QPrinterInfo; none without a running print service) and the fixed-pitch
// families of Qt's font database, which serves screen and printer alike. A GUI
// program creates one at start and installs it with PrintSystem::install();
// the application object must exist.
class GuiPrintSystem : public PrintSystem {
public:
    QStringList printerNames() const override;
    QString currentPrinterName() const override;
    QList<FontFamily> fixedPitchFonts() const override;
};

} // namespace lystra
