#pragma once

#include <QList>
#include <QMetaProperty>
#include <QString>
#include <QVariant>

class QObject;

namespace lystra {

// How a published property turns into text and back (PropertyToText,
// TextToProperty).
enum class PropertyKind {
    Integer,     // int, uint, short, ushort, signed and unsigned char: decimal
    Color,       // QColor: an identifier such as "clGray", else the decimal
                 // colour number 0x00BBGGRR
    Cursor,      // QCursor: an identifier such as "crHourGlass", else the
                 // decimal cursor number
    Character,   // QChar or char: the one character
    Boolean,     // bool: "TRUE" or "FALSE"
    Enumeration, // a Q_ENUM type: the enumerator's value as a decimal number
    Float,       // double or float: general format, locale decimal separator
    String,      // QString, or QByteArray in the host code page: the text
    Other,       // anything else (flags, 64-bit integers, lists, geometry,
                 // fonts ...): empty text, never set from text
};

// One published property of an object: a Qt property (Q_PROPERTY) of the
// object's class or of one of its bases below QObject (so not objectName), or,
// for a widget, one of its bounds "Left", "Top", "Width" and "Height". The
// bounds stand in for Qt's read-only x, y, width and height: Left and Top are
// the position as move() takes it (the window frame's for a window), Width
// and Height the size as resize() takes it. The text of a label or a button
// (QLabel, QAbstractButton) is published as "Caption" rather than "text".
class PublishedProperty {
public:
    // The object's readable published properties, sorted by name without
    // regard to case. A property a subclass declares again is listed once.
    static QList<PublishedProperty> of(const QObject* object);

    const QString& name() const { return m_name; }
    PropertyKind kind() const { return m_kind; }
    bool isWritable() const;
    // The enumeration type of a property of kind Enumeration.
    QMetaEnum enumerator() const { return m_property.enumerator(); }

    QVariant read(const QObject* object) const;
    // False when the property is read-only or refuses the value.
    bool write(QObject* object, const QVariant& value) const;

private:
    enum class Bound { None, Left, Top, Width, Height };
    PublishedProperty(QString name, PropertyKind kind, QMetaProperty property, Bound bound);

    QString m_name;
    PropertyKind m_kind;
    QMetaProperty m_property; // invalid for a bound
    Bound m_bound;
};

// The class name without its namespace ("lystra::TJobProfile" gives
// "TJobProfile"); empty for no object.
QString ClassNameOf(const QObject* object);

// The property's value as text, by kind (see PropertyKind).
QString PropertyToText(const QObject* object, const PublishedProperty& property);

// Sets the property from text. Empty text, a Boolean text other than exactly
// "TRUE" or "FALSE", an enumerator value the type does not have, an unknown
// colour or cursor number, a read-only property and a property of kind Other
// leave the property unchanged. Throws EConvertError when the text of an
// integer, colour, cursor or float is no number ("'x' is not a valid integer
// value", "... floating point value") or does not fit the property's type
// ("'70000' is out of range for PaperSource").
void TextToProperty(QObject* object, const PublishedProperty& property, const QString& text);

// Floats as text the way the program's locale writes them by default: up to
// 15 significant digits with the locale's decimal separator, no grouping,
// scientific ("1,5E-7", "1E20") below 1E-5 and from 1E15.
QString FloatToText(double value);
// The reverse; the locale's decimal separator only, blanks around allowed.
// Throws EConvertError "'<text>' is not a valid floating point value".
double TextToFloat(const QString& text);

} // namespace lystra
