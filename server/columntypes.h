#pragma once

#include "server/fielddefs.h"

#include <QMetaType>
#include <QStringView>
#include <QVariant>

#include <optional>

class QSqlField;

namespace lystra {

// The wire type of a result column and its declared length (characters or
// bytes; 0 when the declaration gives none).
struct ColumnType {
    WireType type = WireType::String;
    int declaredLength = 0;
};

// The wire type for a column type as declared in SQL (what SQLite keeps in
// its schema: "VARCHAR(10)", "NUMERIC(8,0)", "DATE", ...). Decimal types
// without fraction digits are integers (up to 9 digits int32, up to 18
// int64); with fraction digits, floating point. nullopt for an empty
// declaration (an expression column): its type then follows its values.
std::optional<ColumnType> columnTypeFromDeclaration(QStringView declaration);

// The wire type of a column as an ODBC driver describes it through Qt SQL.
ColumnType columnTypeFromField(const QSqlField& field);

// The integer type an integer column must announce to carry `value`: a
// declared int16 or int32 column holds any 64-bit integer in some databases
// (SQLite), and a client reading into a field of the announced width would
// fail on a larger value. Returns `type` unchanged when the value fits, is
// not an integral number, or the type is not an integer type.
WireType integerTypeFor(WireType type, const QVariant& value);

// Columns without a declared type take their type from their values: the
// first non-NULL value decides, and a later value may widen it (int32 to
// int64 to double to string), never narrow it. Since integers, numbers and
// strings share one row text, earlier rows stay valid when the type widens.
class ValueTypeInference {
public:
    void see(const QVariant& value);
    // String when every value was NULL.
    WireType type() const { return m_type.value_or(WireType::String); }
    bool decided() const { return m_type.has_value(); }

private:
    std::optional<WireType> m_type;
};

} // namespace lystra
