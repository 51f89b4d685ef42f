#include "controls/publishedproperty.h"
#include "platform/exception.h"

#include <QCheckBox>
#include <QColor>
#include <QCursor>
#include <QLineEdit>
#include <QRect>

#include <gtest/gtest.h>

#include <cmath>

using namespace lystra;
using namespace Qt::Literals::StringLiterals;

namespace {

// An object with a property of every kind the text forms know.
class Sample : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Count MEMBER count)
    Q_PROPERTY(ushort Bin MEMBER bin)
    Q_PROPERTY(QColor Colour MEMBER colour)
    Q_PROPERTY(QCursor Pointer MEMBER pointer)
    Q_PROPERTY(QChar Letter MEMBER letter)
    Q_PROPERTY(bool Flag MEMBER flag)
    Q_PROPERTY(Mode Kind MEMBER kind)
    Q_PROPERTY(double Ratio MEMBER ratio)
    Q_PROPERTY(QString Text MEMBER text)
    Q_PROPERTY(QByteArray HostText MEMBER hostText)
    Q_PROPERTY(qint64 Big MEMBER big)
    Q_PROPERTY(QRect Area MEMBER area)
    Q_PROPERTY(int ReadOnly READ readOnly)

public:
    enum Mode { mNone, mOne, mTwo, mThree };
    Q_ENUM(Mode)

    int readOnly() const { return 5; }

    int count = 0;
    ushort bin = 0;
    QColor colour;
    QCursor pointer;
    QChar letter;
    bool flag = false;
    Mode kind = mNone;
    double ratio = 0;
    QString text;
    QByteArray hostText;
    qint64 big = 0;
    QRect area;
};

PublishedProperty propertyOf(const QObject& object, const QString& name)
{
    for (const PublishedProperty& p : PublishedProperty::of(&object)) {
        if (p.name() == name)
            return p;
    }
    throw std::runtime_error("no property " + name.toStdString());
}

QString textOf(const QObject& object, const QString& name)
{
    return PropertyToText(&object, propertyOf(object, name));
}

void setText(QObject& object, const QString& name, const QString& text)
{
    TextToProperty(&object, propertyOf(object, name), text);
}

} // namespace

TEST(PublishedProperty, ListIsSortedAndWidgetsPublishTheirBounds)
{
    Sample sample;
    QStringList names;
    for (const PublishedProperty& p : PublishedProperty::of(&sample))
        names.append(p.name());
    EXPECT_EQ(names, (QStringList{u"Area"_s, u"Big"_s, u"Bin"_s, u"Colour"_s, u"Count"_s, u"Flag"_s,
                                  u"HostText"_s, u"Kind"_s, u"Letter"_s, u"Pointer"_s, u"Ratio"_s,
                                  u"ReadOnly"_s, u"Text"_s}));

    QLineEdit edit;
    names.clear();
    for (const PublishedProperty& p : PublishedProperty::of(&edit))
        names.append(p.name());
    for (const QString& bound : {u"Left"_s, u"Top"_s, u"Width"_s, u"Height"_s})
        EXPECT_EQ(names.count(bound), 1) << bound.toStdString();
    // Qt's read-only x, y, width and height are replaced, objectName is not
    // published.
    for (const QString& hidden : {u"x"_s, u"y"_s, u"width"_s, u"height"_s, u"objectName"_s})
        EXPECT_FALSE(names.contains(hidden)) << hidden.toStdString();

    // What a label or button shows is its Caption.
    QCheckBox check;
    names.clear();
    for (const PublishedProperty& p : PublishedProperty::of(&check))
        names.append(p.name());
    EXPECT_TRUE(names.contains(u"Caption"_s));
    EXPECT_FALSE(names.contains(u"text"_s));
    EXPECT_TRUE(names.contains(u"checked"_s));

    setText(edit, u"Width"_s, u"321"_s);
    setText(edit, u"Left"_s, u"-15"_s);
    EXPECT_EQ(edit.width(), 321);
    EXPECT_EQ(textOf(edit, u"Left"_s), u"-15"_s);
}

// Each row: a property, the text for it, and the text it gives back after
// being set from that text; the property's kind decides the form.
TEST(PublishedProperty, TextFormsRoundTrip)
{
    struct Case {
        const char* what;
        QString property;
        QString text;
        QString expected; // what PropertyToText gives afterwards
    };
    const Case cases[] = {
        {"integer", u"Count"_s, u"-42"_s, u"-42"_s},
        {"integer, leading blanks", u"Count"_s, u"  7"_s, u"7"_s},
        {"16-bit unsigned", u"Bin"_s, u"65535"_s, u"65535"_s},
        {"Boolean", u"Flag"_s, u"TRUE"_s, u"TRUE"_s},
        {"enumeration as ordinal", u"Kind"_s, u"3"_s, u"3"_s},
        {"colour identifier", u"Colour"_s, u"clGray"_s, u"clGray"_s},
        {"colour identifier, any case", u"Colour"_s, u"CLRED"_s, u"clRed"_s},
        {"colour number with a name", u"Colour"_s, u"8421504"_s, u"clGray"_s},
        {"colour number without a name", u"Colour"_s, u"1193046"_s, u"1193046"_s},
        {"no colour", u"Colour"_s, u"clNone"_s, u"clNone"_s},
        {"cursor identifier", u"Pointer"_s, u"crHourGlass"_s, u"crHourGlass"_s},
        {"cursor number", u"Pointer"_s, u"-21"_s, u"crHandPoint"_s},
        {"character", u"Letter"_s, u"xyz"_s, u"x"_s},
        {"float, decimal comma", u"Ratio"_s, u"2,5"_s, u"2,5"_s},
        {"float, integral", u"Ratio"_s, u"-20"_s, u"-20"_s},
        {"float, large", u"Ratio"_s, u"1E20"_s, u"1E20"_s},
        {"float, small", u"Ratio"_s, u"1,5E-7"_s, u"1,5E-7"_s},
        {"float, 15 digits", u"Ratio"_s, u"0,1"_s, u"0,1"_s},
        {"string", u"Text"_s, u"C:\\Lager åäö"_s, u"C:\\Lager åäö"_s},
        {"host text", u"HostText"_s, u"Söder"_s, u"Söder"_s},
    };
    for (const Case& c : cases) {
        Sample sample;
        setText(sample, c.property, c.text);
        EXPECT_EQ(textOf(sample, c.property), c.expected) << c.what;
    }
    Sample sample;
    setText(sample, u"HostText"_s, u"Söder"_s);
    EXPECT_EQ(sample.hostText, QByteArray("S\xf6"
                                          "der")); // one byte per character
    setText(sample, u"Ratio"_s, u"0,1"_s);
    EXPECT_EQ(sample.ratio, 0.1);
    EXPECT_EQ(sample.pointer.shape(), Qt::ArrowCursor);
}

TEST(PublishedProperty, KindsWithoutATextForm)
{
    Sample sample;
    sample.big = 5;
    sample.area = QRect(1, 2, 3, 4);
    EXPECT_EQ(textOf(sample, u"Big"_s), QString());
    EXPECT_EQ(textOf(sample, u"Area"_s), QString());
    setText(sample, u"Big"_s, u"7"_s);
    EXPECT_EQ(sample.big, 5);
    EXPECT_EQ(textOf(sample, u"Flag"_s), u"FALSE"_s);
}

TEST(PublishedProperty, TextThatLeavesThePropertyAsItIs)
{
    struct Case {
        const char* what;
        QString property;
        QString text;
    };
    const Case cases[] = {
        {"empty text", u"Count"_s, QString()},
        {"Boolean in lower case", u"Flag"_s, u"true"_s},
        {"Boolean as a number", u"Flag"_s, u"1"_s},
        {"enumerator the type lacks", u"Kind"_s, u"7"_s},
        {"negative enumerator", u"Kind"_s, u"-1"_s},
        {"cursor number without a cursor", u"Pointer"_s, u"-99"_s},
        {"system colour number", u"Colour"_s, u"-16777201"_s},
        {"read-only property", u"ReadOnly"_s, u"9"_s},
    };
    for (const Case& c : cases) {
        Sample sample;
        sample.count = 11;
        sample.flag = false;
        sample.kind = Sample::mTwo;
        sample.colour = QColor(1, 2, 3);
        sample.pointer = QCursor(Qt::CrossCursor);
        const QString before = textOf(sample, c.property);
        setText(sample, c.property, c.text);
        EXPECT_EQ(textOf(sample, c.property), before) << c.what;
    }
}

TEST(PublishedProperty, TextThatIsNoNumberRaises)
{
    struct Case {
        const char* what;
        QString property;
        QString text;
        QString message;
    };
    const Case cases[] = {
        {"letters in an integer", u"Count"_s, u"12a"_s, u"'12a' is not a valid integer value"_s},
        {"too large for 16 bits", u"Bin"_s, u"70000"_s, u"'70000' is out of range for Bin"_s},
        {"negative 16-bit unsigned", u"Bin"_s, u"-1"_s, u"'-1' is out of range for Bin"_s},
        {"too large for int", u"Count"_s, u"2147483648"_s,
         u"'2147483648' is out of range for Count"_s},
        {"letters in an enumeration", u"Kind"_s, u"mTwo"_s,
         u"'mTwo' is not a valid integer value"_s},
        {"unknown colour name", u"Colour"_s, u"clBtnFace"_s,
         u"'clBtnFace' is not a valid integer value"_s},
        {"decimal point in Sweden", u"Ratio"_s, u"2.5"_s,
         u"'2.5' is not a valid floating point value"_s},
        {"not a number", u"Ratio"_s, u"nan"_s, u"'nan' is not a valid floating point value"_s},
        {"blank inside", u"Ratio"_s, u"2 5"_s, u"'2 5' is not a valid floating point value"_s},
    };
    for (const Case& c : cases) {
        Sample sample;
        try {
            setText(sample, c.property, c.text);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.message(), c.message) << c.what;
        }
    }
}

TEST(PublishedProperty, FloatTexts)
{
    EXPECT_EQ(FloatToText(0), u"0"_s);
    EXPECT_EQ(FloatToText(-0.25), u"-0,25"_s);
    EXPECT_EQ(FloatToText(123456789012345.0), u"123456789012345"_s);
    EXPECT_EQ(FloatToText(1e15), u"1E15"_s);
    EXPECT_EQ(FloatToText(0.00001), u"0,00001"_s);
    EXPECT_EQ(FloatToText(0.1 + 0.2), u"0,3"_s);
    EXPECT_DOUBLE_EQ(TextToFloat(u" -1,25E3 "_s), -1250.0);
}

#include "publishedproperty_test.moc"
