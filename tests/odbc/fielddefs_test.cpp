#include "odbc/odbcerrors.h"
#include "odbc/todbcfield.h"
#include "odbc/txmlparser.h"

#include <gtest/gtest.h>

using namespace lystra;

namespace {

const QByteArray kTypical =
    "<fielddefs>\r\n"
    "<field><name>FID</name><size>4</size><required>true</required>"
    "<readonly>False</readonly><datatype>int32</datatype><origin>CATALOG.FID</origin></field>\r\n"
    "<field><name>FTXT</name><size>50</size><required>no</required>"
    "<readonly>TRUE</readonly><datatype>string</datatype><origin>CATALOG.FTXT</origin></field>\r\n"
    "</fielddefs>\r\n";

TEST(FieldDefs, TypicalDocumentGivesEveryMember)
{
    const TODBCFieldList fields = readFieldDefs(kTypical);
    ASSERT_EQ(fields.size(), 2);
    EXPECT_EQ(fields[0].key, "FID");
    EXPECT_EQ(fields[0].field.Name, "FID");
    EXPECT_EQ(fields[0].field.Size, 4);
    EXPECT_TRUE(fields[0].field.Required);
    EXPECT_FALSE(fields[0].field.ReadOnly);
    EXPECT_EQ(fields[0].field.DataType, "int32");
    EXPECT_EQ(fields[0].field.Origin, "CATALOG.FID");
    EXPECT_EQ(fields[1].field.Name, "FTXT");
    EXPECT_EQ(fields[1].field.Size, 50);
    EXPECT_FALSE(fields[1].field.Required);
    EXPECT_TRUE(fields[1].field.ReadOnly);
    EXPECT_EQ(fields[1].field.DataType, "string");
}

struct AcceptedCase {
    const char* name;
    QByteArray document;
    QList<QByteArray> keys;
    QList<QByteArray> types;
};

class FieldDefsAccepted : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(FieldDefsAccepted, GivesTheColumns)
{
    const TODBCFieldList fields = readFieldDefs(GetParam().document);
    QList<QByteArray> keys;
    QList<QByteArray> types;
    for (const TODBCResultField& entry : fields) {
        keys.append(entry.key);
        types.append(entry.field.DataType);
    }
    EXPECT_EQ(keys, GetParam().keys);
    EXPECT_EQ(types, GetParam().types);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldDefsAccepted,
    ::testing::Values(
        AcceptedCase{"DuplicateNamesBothStay",
                     "<fielddefs><field><name>A</name></field><field><name>A</name>"
                     "<datatype>date</datatype></field></fielddefs>",
                     {"A", "A"}, {"", "date"}},
        AcceptedCase{"ClosingTagWithBlankBeforeBracket",
                     "<fielddefs><field><size>3</size ><datatype>int16</datatype\t></field>"
                     "</fielddefs>",
                     {""}, {"int16"}},
        AcceptedCase{"NamesWithoutCaseAttributesSkipped",
                     "<?xml version=\"1.0\"?><FieldDefs count=\"1\"><FIELD id=\"1\"><Name>X</NAME>"
                     "<DataType>blob</datatype></Field></FIELDDEFS>",
                     {"X"}, {"blob"}},
        AcceptedCase{"FieldTextIsKeyUntilANameComes",
                     "<fielddefs><field>K1<datatype>memo</datatype></field>"
                     "<field>K2<name>N2</name></field></fielddefs>",
                     {"K1", "N2"}, {"memo", ""}},
        AcceptedCase{"UnknownElementsIgnored",
                     "<fielddefs><extra>1</extra><field><hint>x y</hint><name>B</name></field>"
                     "</fielddefs>",
                     {"B"}, {""}},
        AcceptedCase{"NoFields", "<fielddefs></fielddefs>", {}, {}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FieldDefs, ElementsClosedByAnotherTagNameTheElement)
{
    try {
        readFieldDefs("<fielddefs><field><name>A</name><size>1</name></field></fielddefs>");
        FAIL() << "no exception";
    } catch (const EXMLParseException& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Malformed request, tag\"size\" has no ending tag:"));
    }
}

TEST(FieldDefs, OtherFailuresRaiseTheirClasses)
{
    EXPECT_THROW(readFieldDefs("<defs><field><name>A</name></field></defs>"), EODBCError);
    EXPECT_THROW(readFieldDefs(""), EODBCError);
    EXPECT_THROW(readFieldDefs("<fielddefs><field><size>4x</size></field></fielddefs>"),
                 EConvertError);
    try {
        readFieldDefs("OK\r\n");
        FAIL() << "no exception";
    } catch (const EODBCError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Unknown fieldefs class"));
    }
}

// A document cut anywhere before its closing tag loses columns or members;
// it must fail rather than give a shorter list.
TEST(FieldDefs, EveryCutOfTheDocumentFails)
{
    const qsizetype end = kTypical.indexOf("</fielddefs");
    for (qsizetype cut = 0; cut < end; ++cut) {
        const QByteArray part = kTypical.first(cut);
        try {
            readFieldDefs(part);
            ADD_FAILURE() << "accepted: " << part.constData();
        } catch (const EXMLParseException&) {
        } catch (const EODBCError&) {
        }
    }
}

TEST(XMLParser, SelfClosingTagHasNoText)
{
    TXMLParser parser("<a x=\"1\"/><b>more");
    EXPECT_EQ(parser.NextTag(), "a");
    EXPECT_TRUE(parser.SelfClosing());
    EXPECT_EQ(parser.Text(), "");
    EXPECT_EQ(parser.NextTag(), "b");
    EXPECT_FALSE(parser.SelfClosing());
    EXPECT_EQ(parser.Text(), "more");
    EXPECT_TRUE(parser.AtEnd());
}

} // namespace
