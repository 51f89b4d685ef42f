#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace lystra {

// A font family that printing can use, in one of its writing systems.
struct FontFamily {
    QString name;
    bool trueType = false; // an outline font that scales smoothly
    // The writing system (character set) of this entry, such as "Latin" or
    // "Cyrillic"; empty when the font names none.
    QString writingSystem;
    bool operator==(const FontFamily&) const = default;
};

// The print system as the engine sees it: the installed printers, the one
// printing uses unless told otherwise, and the fixed-pitch fonts. The engine
// never asks the operating system itself; a GUI program installs an
// implementation at start (see platform/gui/guiprintsystem.h). Without one, an
// empty StaticPrintSystem stands in: no printers and no fonts, which is also
// what a machine without a running print service looks like.
class PrintSystem {
public:
    virtual ~PrintSystem();

    // Names of the installed printers in the system's order; empty when none.
    virtual QStringList printerNames() const = 0;
    // The printer printing uses: the system's default printer, else the first
    // one; empty when there are no printers.
    virtual QString currentPrinterName() const = 0;
    // The fixed-pitch font families that can be printed, in the system's
    // order. A family is listed once for each writing system it covers, one
    // after the other, as the printer's font enumeration lists it once per
    // character set. The screen's fonts when no printer can say.
    virtual QList<FontFamily> fixedPitchFonts() const = 0;

    // The process-wide instance; an empty StaticPrintSystem until install().
    static PrintSystem& instance();
    // Takes no ownership; the instance must outlive every later use. Passing
    // nullptr restores the empty stand-in.
    static void install(PrintSystem* system);
};

// A print system whose printers and fonts are set by hand; tests use it.
class StaticPrintSystem : public PrintSystem {
public:
    StaticPrintSystem() = default;
    // `current` empty means the first printer.
    StaticPrintSystem(QStringList printers, QList<FontFamily> fonts, QString current = {});

    QStringList printerNames() const override { return m_printers; }
    QString currentPrinterName() const override;
    QList<FontFamily> fixedPitchFonts() const override { return m_fonts; }

private:
    QStringList m_printers;
    QList<FontFamily> m_fonts;
    QString m_current;
};

} // namespace lystra
