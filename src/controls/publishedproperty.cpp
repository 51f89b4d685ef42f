#include "controls/publishedproperty.h"

#include "platform/convert.h"
#include "platform/exception.h"
#include "platform/formatsettings.h"
#include "platform/hostcodec.h"

#include <QAbstractButton>
#include <QColor>
#include <QCursor>
#include <QLabel>
#include <QMetaObject>
#include <QObject>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

namespace lystra {

namespace {

// Colour identifiers and their colour numbers (0x00BBGGRR); the first name of
// a number is the one written.
struct NamedColor {
    const char16_t* name;
    qint64 number;
};
constexpr qint64 kColorNone = 0x1FFFFFFF;
constexpr qint64 kColorDefault = 0x20000000;
constexpr NamedColor kColors[] = {
    {u"clBlack", 0x000000},        {u"clMaroon", 0x000080},     {u"clGreen", 0x008000},
    {u"clOlive", 0x008080},        {u"clNavy", 0x800000},       {u"clPurple", 0x800080},
    {u"clTeal", 0x808000},         {u"clGray", 0x808080},       {u"clSilver", 0xC0C0C0},
    {u"clRed", 0x0000FF},          {u"clLime", 0x00FF00},       {u"clYellow", 0x00FFFF},
    {u"clBlue", 0xFF0000},         {u"clFuchsia", 0xFF00FF},    {u"clAqua", 0xFFFF00},
    {u"clWhite", 0xFFFFFF},        {u"clMoneyGreen", 0xC0DCC0}, {u"clSkyBlue", 0xF0CAA6},
    {u"clCream", 0xF0FBFF},        {u"clMedGray", 0xA4A0A0},    {u"clNone", kColorNone},
    {u"clDefault", kColorDefault}, {u"clLtGray", 0xC0C0C0},     {u"clDkGray", 0x808080},
};

// Cursor identifiers, their numbers and Qt's shapes; the first entry of a
// shape is the one written.
struct NamedCursor {
    const char16_t* name;
    int number;
    Qt::CursorShape shape;
};
constexpr NamedCursor kCursors[] = {
    {u"crDefault", 0, Qt::ArrowCursor},
    {u"crNone", -1, Qt::BlankCursor},
    {u"crArrow", -2, Qt::ArrowCursor},
    {u"crCross", -3, Qt::CrossCursor},
    {u"crIBeam", -4, Qt::IBeamCursor},
    {u"crSizeNESW", -6, Qt::SizeBDiagCursor},
    {u"crSizeNS", -7, Qt::SizeVerCursor},
    {u"crSizeNWSE", -8, Qt::SizeFDiagCursor},
    {u"crSizeWE", -9, Qt::SizeHorCursor},
    {u"crUpArrow", -10, Qt::UpArrowCursor},
    {u"crHourGlass", -11, Qt::WaitCursor},
    {u"crDrag", -12, Qt::DragMoveCursor},
    {u"crNoDrop", -13, Qt::ForbiddenCursor},
    {u"crHSplit", -14, Qt::SplitHCursor},
    {u"crVSplit", -15, Qt::SplitVCursor},
    {u"crMultiDrag", -16, Qt::DragCopyCursor},
    {u"crSQLWait", -17, Qt::WaitCursor},
    {u"crNo", -18, Qt::ForbiddenCursor},
    {u"crAppStart", -19, Qt::BusyCursor},
    {u"crHelp", -20, Qt::WhatsThisCursor},
    {u"crHandPoint", -21, Qt::PointingHandCursor},
    {u"crSizeAll", -22, Qt::SizeAllCursor},
};

const QString kLeft = QStringLiteral("Left");
const QString kTop = QStringLiteral("Top");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");

// Qt's read-only position and size of a widget, published as its bounds.
bool isReplacedByBound(const QString& name)
{
    return name == u"x" || name == u"y" || name == u"width" || name == u"height";
}

// The name a Qt property is published under: the text that a label or a
// button shows is its Caption, as forms name it ("FormLibraryPath.Caption").
QString publishedNameOf(const QObject* object, const char* qtName)
{
    const QString name = QString::fromLatin1(qtName);
    if (name == u"text" &&
        (qobject_cast<const QLabel*>(object) || qobject_cast<const QAbstractButton*>(object)))
        return QStringLiteral("Caption");
    return name;
}

PropertyKind kindOf(const QMetaProperty& property)
{
    if (property.isEnumType())
        return property.isFlagType() ? PropertyKind::Other : PropertyKind::Enumeration;
    switch (property.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return PropertyKind::Integer;
    case QMetaType::QColor:
        return PropertyKind::Color;
    case QMetaType::QCursor:
        return PropertyKind::Cursor;
    case QMetaType::QChar:
    case QMetaType::Char:
        return PropertyKind::Character;
    case QMetaType::Bool:
        return PropertyKind::Boolean;
    case QMetaType::Double:
    case QMetaType::Float:
        return PropertyKind::Float;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return PropertyKind::String;
    default:
        return PropertyKind::Other;
    }
}

// The range of values an integer property's type holds.
std::pair<qint64, qint64> rangeOf(int typeId)
{
    switch (typeId) {
    case QMetaType::UInt:
        return {0, std::numeric_limits<uint>::max()};
    case QMetaType::Short:
        return {std::numeric_limits<short>::min(), std::numeric_limits<short>::max()};
    case QMetaType::UShort:
        return {0, std::numeric_limits<ushort>::max()};
    case QMetaType::SChar:
        return {std::numeric_limits<signed char>::min(), std::numeric_limits<signed char>::max()};
    case QMetaType::UChar:
        return {0, std::numeric_limits<uchar>::max()};
    default:
        return {std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
    }
}

[[noreturn]] void raiseInvalid(const QString& text, const char* what)
{
    throw EConvertError(
        QStringLiteral("'%1' is not a valid %2 value").arg(text, QLatin1StringView(what)));
}

qint64 textToInteger(const QString& text)
{
    // Digits, signs and blanks are ASCII, so text outside Latin-1 (turned into
    // "?") fails as it should.
    const auto value = parseInt64(text.toLatin1());
    if (!value)
        raiseInvalid(text, "integer");
    return *value;
}

qint64 colorNumber(const QColor& color)
{
    if (!color.isValid())
        return kColorNone;
    return color.red() | (color.green() << 8) | (qint64(color.blue()) << 16);
}

QString colorText(const QColor& color)
{
    const qint64 number = colorNumber(color);
    for (const NamedColor& c : kColors) {
        if (c.number == number)
            return QString::fromUtf16(c.name);
    }
    return QString::number(number);
}

// The colour a text names; nullopt for a number that is no plain colour.
std::optional<QColor> textToColor(const QString& text)
{
    qint64 number = -1;
    bool named = false;
    for (const NamedColor& c : kColors) {
        if (text.compare(QStringView(c.name), Qt::CaseInsensitive) == 0) {
            number = c.number;
            named = true;
            break;
        }
    }
    if (!named)
        number = textToInteger(text);
    if (number == kColorNone || number == kColorDefault)
        return QColor();
    if (number < 0 || number > 0xFFFFFF)
        return std::nullopt;
    return QColor(int(number & 0xFF), int((number >> 8) & 0xFF), int((number >> 16) & 0xFF));
}

QString cursorText(const QCursor& cursor)
{
    for (const NamedCursor& c : kCursors) {
        if (c.shape == cursor.shape())
            return QString::fromUtf16(c.name);
    }
    return {};
}

std::optional<Qt::CursorShape> textToCursor(const QString& text)
{
    for (const NamedCursor& c : kCursors) {
        if (text.compare(QStringView(c.name), Qt::CaseInsensitive) == 0)
            return c.shape;
    }
    const qint64 number = textToInteger(text);
    for (const NamedCursor& c : kCursors) {
        if (c.number == number)
            return c.shape;
    }
    return std::nullopt;
}

QString enumText(const QVariant& value)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok ? QString::number(number) : QString();
}

void setInteger(QObject* object, const PublishedProperty& property, const QString& text)
{
    const qint64 value = textToInteger(text);
    const auto [low, high] = rangeOf(property.read(object).typeId());
    if (value < low || value > high) {
        throw EConvertError(
            QStringLiteral("'%1' is out of range for %2").arg(text, property.name()));
    }
    QVariant v = QVariant::fromValue(value);
    v.convert(property.read(object).metaType());
    property.write(object, v);
}

void setEnumeration(QObject* object, const PublishedProperty& property, const QString& text)
{
    const QMetaEnum enumerator = property.enumerator();
    const qint64 value = textToInteger(text);
    // An enumerator the type does not have is refused rather than stored: code
    // that switches over the type does not expect it.
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max() ||
        enumerator.valueToKey(int(value)) == nullptr)
        return;
    property.write(object, QVariant(int(value)));
}

} // namespace

PublishedProperty::PublishedProperty(QString name, PropertyKind kind, QMetaProperty property,
                                     Bound bound)
    : m_name(std::move(name)), m_kind(kind), m_property(property), m_bound(bound)
{}

QList<PublishedProperty> PublishedProperty::of(const QObject* object)
{
    QList<PublishedProperty> list;
    if (!object)
        return list;
    const auto listed = [&list](const QString& name) {
        return std::any_of(list.cbegin(), list.cend(), [&name](const PublishedProperty& p) {
            return p.name().compare(name, Qt::CaseInsensitive) == 0;
        });
    };
    const bool widget = object->isWidgetType();
    if (widget) {
        list.append(PublishedProperty(kLeft, PropertyKind::Integer, {}, Bound::Left));
        list.append(PublishedProperty(kTop, PropertyKind::Integer, {}, Bound::Top));
        list.append(PublishedProperty(kWidth, PropertyKind::Integer, {}, Bound::Width));
        list.append(PublishedProperty(kHeight, PropertyKind::Integer, {}, Bound::Height));
    }
    // From the most derived class down, so that a redeclared property counts
    // once, as its subclass declares it.
    const QMetaObject* meta = object->metaObject();
    for (int i = meta->propertyCount() - 1; i >= QObject::staticMetaObject.propertyCount(); --i) {
        const QMetaProperty property = meta->property(i);
        const QString qtName = QString::fromLatin1(property.name());
        if (!property.isReadable() || (widget && isReplacedByBound(qtName)))
            continue;
        const QString name = publishedNameOf(object, property.name());
        if (listed(name))
            continue;
        list.append(PublishedProperty(name, kindOf(property), property, Bound::None));
    }
    std::sort(list.begin(), list.end(), [](const PublishedProperty& a, const PublishedProperty& b) {
        return a.name().compare(b.name(), Qt::CaseInsensitive) < 0;
    });
    return list;
}

bool PublishedProperty::isWritable() const
{
    return m_bound != Bound::None || m_property.isWritable();
}

QVariant PublishedProperty::read(const QObject* object) const
{
    if (m_bound == Bound::None)
        return m_property.read(object);
    const auto* widget = static_cast<const QWidget*>(object);
    switch (m_bound) {
    case Bound::Left:
        return widget->x();
    case Bound::Top:
        return widget->y();
    case Bound::Width:
        return widget->width();
    default:
        return widget->height();
    }
}

bool PublishedProperty::write(QObject* object, const QVariant& value) const
{
    if (m_bound == Bound::None)
        return m_property.isWritable() && m_property.write(object, value);
    auto* widget = static_cast<QWidget*>(object);
    const int v = value.toInt();
    switch (m_bound) {
    case Bound::Left:
        widget->move(v, widget->y());
        break;
    case Bound::Top:
        widget->move(widget->x(), v);
        break;
    case Bound::Width:
        widget->resize(v, widget->height());
        break;
    default:
        widget->resize(widget->width(), v);
        break;
    }
    return true;
}

QString ClassNameOf(const QObject* object)
{
    if (!object)
        return {};
    const QString name = QString::fromLatin1(object->metaObject()->className());
    return name.mid(name.lastIndexOf(u':') + 1);
}

QString PropertyToText(const QObject* object, const PublishedProperty& property)
{
    const QVariant value = property.read(object);
    switch (property.kind()) {
    case PropertyKind::Integer:
        return QString::number(value.toLongLong());
    case PropertyKind::Color:
        return colorText(value.value<QColor>());
    case PropertyKind::Cursor:
        return cursorText(value.value<QCursor>());
    case PropertyKind::Character:
        if (value.typeId() == QMetaType::Char)
            return QString(HostCodec::host().decode(value.value<char>()));
        return QString(value.toChar());
    case PropertyKind::Boolean:
        return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case PropertyKind::Enumeration:
        return enumText(value);
    case PropertyKind::Float:
        return FloatToText(value.toDouble());
    case PropertyKind::String:
        if (value.typeId() == QMetaType::QByteArray)
            return HostCodec::host().decode(value.toByteArray());
        return value.toString();
    case PropertyKind::Other:
        break;
    }
    return {};
}

void TextToProperty(QObject* object, const PublishedProperty& property, const QString& text)
{
    if (text.isEmpty() || !property.isWritable())
        return;
    switch (property.kind()) {
    case PropertyKind::Integer:
        setInteger(object, property, text);
        break;
    case PropertyKind::Color:
        if (const auto color = textToColor(text))
            property.write(object, QVariant::fromValue(*color));
        break;
    case PropertyKind::Cursor:
        if (const auto shape = textToCursor(text))
            property.write(object, QVariant::fromValue(QCursor(*shape)));
        break;
    case PropertyKind::Character:
        if (property.read(object).typeId() == QMetaType::Char)
            property.write(object, QVariant::fromValue(HostCodec::host().encode(text.at(0))));
        else
            property.write(object, QVariant::fromValue(text.at(0)));
        break;
    case PropertyKind::Boolean:
        // Exactly the two texts written; "true" is no Boolean here.
        if (text == u"TRUE")
            property.write(object, true);
        else if (text == u"FALSE")
            property.write(object, false);
        break;
    case PropertyKind::Enumeration:
        setEnumeration(object, property, text);
        break;
    case PropertyKind::Float:
        property.write(object, TextToFloat(text));
        break;
    case PropertyKind::String:
        if (property.read(object).typeId() == QMetaType::QByteArray)
            property.write(object, HostCodec::host().encode(text));
        else
            property.write(object, text);
        break;
    case PropertyKind::Other:
        break;
    }
}

QString FloatToText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    const QChar separator = FormatSettings::current().decimalSeparator;
    if (value == 0)
        return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    QString text;
    if (magnitude < 1e-5 || magnitude >= 1e15) {
        // Mantissa without trailing zeros, exponent without "+" or leading zeros.
        const QString e = QString::number(value, 'e', 14);
        const qsizetype at = e.indexOf(u'e');
        QString mantissa = e.left(at);
        while (mantissa.endsWith(u'0'))
            mantissa.chop(1);
        if (mantissa.endsWith(u'.'))
            mantissa.chop(1);
        text = mantissa + u'E' + QString::number(e.mid(at + 1).toInt());
    } else {
        const int digitsBefore = int(std::floor(std::log10(magnitude))) + 1;
        text = QString::number(value, 'f', std::max(0, 15 - digitsBefore));
        if (text.contains(u'.')) {
            while (text.endsWith(u'0'))
                text.chop(1);
            if (text.endsWith(u'.'))
                text.chop(1);
        }
    }
    return text.replace(u'.', separator);
}

double TextToFloat(const QString& text)
{
    const QChar separator = FormatSettings::current().decimalSeparator;
    QString plain = text.trimmed();
    if (separator != u'.') {
        if (plain.contains(u'.'))
            raiseInvalid(text, "floating point");
        plain.replace(separator, u'.');
    }
    // Only what a number is made of: std::from_chars would also take "inf"
    // and "nan", and blanks inside are no number either.
    const bool plainNumber = std::all_of(plain.cbegin(), plain.cend(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.' || c == u'e' ||
               c == u'E';
    });
    const auto value = plainNumber ? parseDouble(plain.toLatin1()) : std::nullopt;
    if (!value)
        raiseInvalid(text, "floating point");
    return *value;
}

} // namespace lystra
