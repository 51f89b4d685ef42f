#pragma once

#include "platform/printsystem.h"

#include <QObject>
#include <QString>

namespace lystra {

// The user's screen and print font and last used printer. The published
// properties FontName and PrinterName are what a property saver stores, under
// the key "UserProperties" (see TcsPropertySaver::StoreObject).
class TUserParameters : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString FontName READ FontName WRITE setFontName)
    Q_PROPERTY(QString PrinterName READ PrinterName WRITE setPrinterName)

public:
    // FontName becomes the font FontIndex picks from the fixed-pitch fonts
    // (empty when there are none), PrinterName the print system's current
    // printer (empty without printers). The print system is borrowed and must
    // outlive the object.
    explicit TUserParameters(const PrintSystem& printSystem = PrintSystem::instance(),
                             QObject* parent = nullptr);

    QString FontName() const { return m_fontName; }
    void setFontName(const QString& value);
    QString PrinterName() const { return m_printerName; }
    void setPrinterName(const QString& value);

    // Fills `list` with the fixed-pitch fonts and returns FontIndex(list).
    int ListFonts(QList<FontFamily>& list) const;
    // The position of FontName in `list` (exact match); else of "Courier";
    // else of "Courier New"; else 0 when the list is not empty; else -1.
    int FontIndex(const QList<FontFamily>& list) const;
    // `name` when the fixed-pitch fonts hold it; else "Courier" when held;
    // else "Courier New" when held; else `name` unchanged.
    QString ResolveFont(const QString& name) const;
    // ResolveFont(FontName), trimmed: the font printing uses.
    QString EffectiveFontName() const;

private:
    const PrintSystem& m_printSystem;
    QString m_fontName;
    QString m_printerName;
};

} // namespace lystra
