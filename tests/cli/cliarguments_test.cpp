// Reading the command line and the small text helpers of lystra-cli.

#include "cli/cliarguments.h"
#include "cli/clicommands.h"
#include "cli/clierror.h"

#include <gtest/gtest.h>

namespace lystra::cli {
namespace {

QStringList split(const char* text)
{
    return QString::fromUtf8(text).split(u' ', Qt::SkipEmptyParts);
}

TEST(CliArguments, ReadsEveryCommandWithItsOptions)
{
    const Invocation users =
        ParseArguments(split("--server host1 users --before=20251231 --port 9999"));
    EXPECT_EQ(users.command, Command::Users);
    EXPECT_EQ(users.server, u"host1");
    EXPECT_EQ(users.port, 9999);
    EXPECT_EQ(users.before, QDate(2025, 12, 31));

    const Invocation show = ParseArguments(split("show anna 0000200001 --page 2"));
    EXPECT_EQ(show.command, Command::Show);
    EXPECT_EQ(show.user, u"anna");
    EXPECT_EQ(show.ids, QStringList{QStringLiteral("0000200001")});
    EXPECT_EQ(show.page, 2);
    EXPECT_FALSE(show.before.has_value());

    const Invocation save = ParseArguments(split("save ANNA 1 2 3 --format spl --out /tmp/x"));
    EXPECT_EQ(save.ids.size(), 3);
    EXPECT_EQ(save.format, sfSpool);
    EXPECT_EQ(save.out, u"/tmp/x");

    // "--" lets an identity start with dashes.
    const Invocation del = ParseArguments(split("delete ANNA -- --odd"));
    EXPECT_EQ(del.command, Command::Delete);
    EXPECT_EQ(del.ids, QStringList{QStringLiteral("--odd")});

    EXPECT_EQ(ParseArguments({}).command, Command::Help);
    EXPECT_EQ(ParseArguments(split("list ANNA --help")).command, Command::Help);
}

TEST(CliArguments, RefusesMalformedCommandLinesWithTheUsageCode)
{
    struct Case {
        const char* name;
        const char* arguments;
        const char* message;
    };
    const Case cases[] = {
        {"unknown command", "frob", "Okänt kommando \"frob\""},
        {"option of another command", "list ANNA --page 2", "Okänd flagga --page för list"},
        {"option without value", "list ANNA --before", "Värde saknas för --before"},
        {"option twice", "list ANNA --before 20250101 --before 20250102",
         "--before anges mer än en gång"},
        {"user missing", "show", "Användare saknas för show"},
        {"identity missing", "show ANNA", "Id för utskriften saknas"},
        {"two identities for show", "show ANNA 1 2", "För många argument för show"},
        {"seven digits", "users --before 2025123", "Ogiltigt datum \"2025123\""},
        {"no such day", "users --before 20250230", "Ogiltigt datum \"20250230\""},
        {"letters in date", "users --before 2025-1-1", "Ogiltigt datum"},
        {"page zero", "show ANNA 1 --page 0", "Ogiltigt värde för --page: \"0\""},
        {"page not a number", "show ANNA 1 --page x", "Ogiltigt värde för --page"},
        {"port too large", "--port 65536 users", "Ogiltigt värde för --port"},
        {"unknown format", "save ANNA 1 --format doc --out x", "Okänt format \"doc\""},
        {"format missing", "save ANNA 1 --out x", "--format saknas"},
        {"out missing", "save ANNA 1 --format pdf", "--out saknas"},
        {"csv missing", "table ANNA 1", "--csv saknas"},
    };
    for (const Case& c : cases) {
        try {
            ParseArguments(split(c.arguments));
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const CliError& error) {
            EXPECT_EQ(error.code(), ExitUsage) << c.name;
            EXPECT_TRUE(error.message().contains(QString::fromUtf8(c.message)))
                << c.name << ": " << error.message().toStdString();
        }
    }
}

TEST(CliText, CsvFieldsAreQuotedOnlyWhenTheyNeedIt)
{
    EXPECT_EQ(CsvRecord({QStringLiteral("a"), QString(), QStringLiteral("1234,56"),
                         QStringLiteral("sa \"x\""), QStringLiteral(" lead"),
                         QStringLiteral("två\nrader")}),
              QStringLiteral("a,,\"1234,56\",\"sa \"\"x\"\"\",\" lead\",\"två\nrader\"\n"));
}

TEST(CliText, FilterFilesAreReadAsUtf8OrAsHostText)
{
    // "Överföring" in UTF-8 and the same word in windows-1252 give the same
    // host text; CR LF and empty lines are dropped.
    const QByteArrayList expected = {QByteArray("\xD6verf\xF6ring"), QByteArray("Summa")};
    EXPECT_EQ(FilterStringsFrom(QByteArray("\xC3\x96verf\xC3\xB6ring\r\n\r\nSumma\r\n")), expected);
    EXPECT_EQ(FilterStringsFrom(QByteArray("\xEF\xBB\xBF\xC3\x96verf\xC3\xB6ring\nSumma")),
              expected);
    EXPECT_EQ(FilterStringsFrom(QByteArray("\xD6verf\xF6ring\nSumma\n")), expected);
}

} // namespace
} // namespace lystra::cli
