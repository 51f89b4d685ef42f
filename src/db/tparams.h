#pragma once

#include "db/dbtypes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QVariant>

namespace lystra {

class TField;

// One statement parameter: a name, a data type that decides how the value is
// written into statement text, and a value (an invalid QVariant is NULL).
// Values follow db/fieldbuffer.h: strings and blobs are QByteArray host text.
class TParam {
public:
    TParam() = default;
    explicit TParam(QString name, TFieldType dataType = ftUnknown)
        : Name(std::move(name))
        , DataType(dataType)
    {
    }

    QString Name;
    TFieldType DataType = ftUnknown;
    QVariant Value;

    bool IsNull() const { return !Value.isValid() || Value.isNull(); }
    void Clear() { Value = QVariant(); }
    // Sets the value; a parameter without a data type takes the value's
    // (QByteArray/QString string, int integer, qint64 large integer, double
    // float, bool boolean, QDate, QTime, QDateTime).
    void SetValue(const QVariant& value);
    void SetAsString(const QByteArray& text) { SetValue(text); }
    // Takes the field's type and its current value.
    void AssignField(const TField& field);
    // Takes the field's type and the given value of it.
    void AssignFieldValue(const TField& field, const QVariant& value);
    // The data type, or for a parameter without one the type of its value.
    TFieldType EffectiveType() const;
    // The value as a prepared statement is sent it: NULL as the one byte
    // 255; strings and bytes unchanged; numbers with "." as the decimal
    // separator; booleans 1/0; dates yyyy-mm-dd, times hh:mm:ss, date-times
    // both separated by a blank; blobs as upper-case hex digits.
    QByteArray AsText() const;
};

// An ordered list of parameters. Names are compared without regard to case;
// a name may occur more than once (one entry per marker of a statement).
class TParams {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.isEmpty(); }
    TParam& Items(int index) { return m_items[index]; }
    const TParam& Items(int index) const { return m_items[index]; }
    TParam* FindParam(QStringView name);
    const TParam* FindParam(QStringView name) const;
    // Raises EDatabaseError "Parameter '<name>' not found".
    TParam& ParamByName(QStringView name);
    // Sets the value of every parameter of that name.
    void SetParamValue(QStringView name, const QVariant& value);
    TParam& AddParam(TParam param);
    void Clear() { m_items.clear(); }
    // Takes the type and value of each like-named parameter of `source`.
    void AssignValues(const TParams& source);

    QList<TParam>::iterator begin() { return m_items.begin(); }
    QList<TParam>::iterator end() { return m_items.end(); }
    QList<TParam>::const_iterator begin() const { return m_items.begin(); }
    QList<TParam>::const_iterator end() const { return m_items.end(); }

    // The SQL parameter parser. Scans `sql` for markers: a colon followed by
    // a name (letters, digits, "_", "$", "#", bytes above 127) becomes "?"
    // and, with `doCreate`, appends a parameter of that name to this list; a
    // doubled colon stands for one colon; a colon inside a quoted literal
    // ('...' or "...") is no marker. Answers the parsed text.
    QByteArray ParseSQL(QByteArrayView sql, bool doCreate);

private:
    QList<TParam> m_items;
};

} // namespace lystra
