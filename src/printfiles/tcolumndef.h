#pragma once

#include <QByteArray>
#include <QString>
#include <Qt>

namespace lystra {

enum class TColumnKind { Text, Number, Date };

// One column of a print file read as a table: its place on the line, its name
// from the heading line, and what its cells turned out to hold.
class TColumnDef {
public:
    int Decimals = 0; // decimals of a number column
    QByteArray Name;  // from the heading line, trimmed (host text)
    TColumnKind Kind = TColumnKind::Text;
    int EndCol = 0;         // 1-based last character position
    int StartCol = 0;       // 1-based first character position
    int CellCount = 0;      // non-blank cells that were not right-aligned decimal numbers
    int DecimalCount = 0;   // right-aligned cells that were numbers with a decimal separator
    bool HasNumber = false; // some cell parsed as a number

    // EndCol - StartCol + 1 when both are set and EndCol >= StartCol, else 0.
    int Width() const;
    // Left for text, right for numbers, centred for dates.
    Qt::Alignment Alignment() const;
    // The grid's display mask: "#" per position with the decimals as "0." and
    // zeros, its first character "," (thousands grouping) for a number column;
    // the locale's short date format for a date column; empty for text.
    QString FormatMask() const;
};

} // namespace lystra
