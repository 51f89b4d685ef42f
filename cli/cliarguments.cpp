#include "cli/cliarguments.h"

#include "cli/clierror.h"

#include <QHash>
#include <QRegularExpression>

namespace lystra::cli {

namespace {

[[noreturn]] void usageError(const QString& message)
{
    throw CliError(ExitUsage, message + QStringLiteral("\nSe lystra-cli --help."));
}

// The options each command takes, besides the global ones.
QStringList optionsOf(Command command)
{
    switch (command) {
    case Command::Users:
    case Command::List:
        return {QStringLiteral("before")};
    case Command::Show:
        return {QStringLiteral("page")};
    case Command::Save:
        return {QStringLiteral("format"), QStringLiteral("out")};
    case Command::Table:
        return {QStringLiteral("filters"), QStringLiteral("csv")};
    case Command::Help:
    case Command::Delete:
        break;
    }
    return {};
}

QDate parseDate(const QString& text)
{
    static const QRegularExpression eightDigits(QStringLiteral("^[0-9]{8}$"));
    const QDate date = eightDigits.match(text).hasMatch()
                           ? QDate::fromString(text, QStringLiteral("yyyyMMdd"))
                           : QDate();
    if (!date.isValid())
        usageError(QStringLiteral("Ogiltigt datum \"%1\": ange YYYYMMDD, till exempel 20251231.")
                       .arg(text));
    return date;
}

int parsePositive(const QString& option, const QString& text, int highest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > highest)
        usageError(QStringLiteral("Ogiltigt värde för --%1: \"%2\".").arg(option, text));
    return value;
}

TStorageFormat parseFormat(const QString& text)
{
    if (text == u"spl")
        return sfSpool;
    if (text == u"txt")
        return sfText;
    if (text == u"pdf")
        return sfPdf;
    usageError(QStringLiteral("Okänt format \"%1\": ange spl, txt eller pdf.").arg(text));
}

} // namespace

Invocation ParseArguments(const QStringList& arguments)
{
    static const QHash<QString, Command> commands = {
        {QStringLiteral("users"), Command::Users}, {QStringLiteral("list"), Command::List},
        {QStringLiteral("show"), Command::Show},   {QStringLiteral("save"), Command::Save},
        {QStringLiteral("table"), Command::Table}, {QStringLiteral("delete"), Command::Delete},
    };

    Invocation call;
    QStringList positional;
    QHash<QString, QString> options;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u"--") || argument == u"--") {
            if (argument == u"--" && !optionsEnded)
                optionsEnded = true;
            else
                positional << argument;
            continue;
        }
        QString name = argument.mid(2);
        QString value;
        const qsizetype equals = name.indexOf(u'=');
        if (name == u"help") {
            call.command = Command::Help;
            return call;
        }
        if (equals >= 0) {
            value = name.mid(equals + 1);
            name.truncate(equals);
        } else {
            if (i + 1 >= arguments.size())
                usageError(QStringLiteral("Värde saknas för --%1.").arg(name));
            value = arguments[++i];
        }
        if (options.contains(name))
            usageError(QStringLiteral("--%1 anges mer än en gång.").arg(name));
        options.insert(name, value);
    }

    if (positional.isEmpty()) {
        if (!options.isEmpty())
            usageError(QStringLiteral("Kommando saknas."));
        return call;
    }
    const QString commandName = positional.takeFirst();
    if (!commands.contains(commandName))
        usageError(QStringLiteral("Okänt kommando \"%1\".").arg(commandName));
    call.command = commands.value(commandName);

    const QStringList allowed =
        optionsOf(call.command) + QStringList{QStringLiteral("server"), QStringLiteral("port")};
    for (auto it = options.cbegin(); it != options.cend(); ++it) {
        if (!allowed.contains(it.key()))
            usageError(QStringLiteral("Okänd flagga --%1 för %2.").arg(it.key(), commandName));
    }

    // Positional arguments: USER, then the identities.
    qsizetype leastIds = 0;
    qsizetype mostIds = 0;
    switch (call.command) {
    case Command::Users:
        break;
    case Command::List:
        break;
    case Command::Show:
    case Command::Table:
        leastIds = mostIds = 1;
        break;
    case Command::Save:
    case Command::Delete:
        leastIds = 1;
        mostIds = -1;
        break;
    case Command::Help:
        break;
    }
    if (call.command != Command::Users) {
        if (positional.isEmpty())
            usageError(QStringLiteral("Användare saknas för %1.").arg(commandName));
        call.user = positional.takeFirst();
        if (call.user.trimmed().isEmpty())
            usageError(QStringLiteral("Användaren får inte vara tom."));
    }
    if (positional.size() < leastIds)
        usageError(QStringLiteral("Id för utskriften saknas för %1.").arg(commandName));
    if (mostIds >= 0 && positional.size() > mostIds)
        usageError(QStringLiteral("För många argument för %1: \"%2\".")
                       .arg(commandName, positional.join(u' ')));
    for (const QString& id : std::as_const(positional)) {
        if (id.trimmed().isEmpty())
            usageError(QStringLiteral("Ett id får inte vara tomt."));
    }
    call.ids = positional;

    if (options.contains(QStringLiteral("server"))) {
        call.server = options.value(QStringLiteral("server")).trimmed();
        if (call.server.isEmpty())
            usageError(QStringLiteral("--server får inte vara tom."));
    }
    if (options.contains(QStringLiteral("port")))
        call.port = quint16(
            parsePositive(QStringLiteral("port"), options.value(QStringLiteral("port")), 65535));
    if (options.contains(QStringLiteral("before")))
        call.before = parseDate(options.value(QStringLiteral("before")));
    if (options.contains(QStringLiteral("page")))
        call.page =
            parsePositive(QStringLiteral("page"), options.value(QStringLiteral("page")), 1 << 30);
    if (call.command == Command::Save) {
        if (!options.contains(QStringLiteral("format")))
            usageError(QStringLiteral("--format saknas för save (spl, txt eller pdf)."));
        call.format = parseFormat(options.value(QStringLiteral("format")));
        call.out = options.value(QStringLiteral("out"));
        if (call.out.isEmpty())
            usageError(QStringLiteral("--out saknas för save (fil eller mapp)."));
    }
    if (call.command == Command::Table) {
        call.csv = options.value(QStringLiteral("csv"));
        if (call.csv.isEmpty())
            usageError(QStringLiteral("--csv saknas för table."));
        call.filters = options.value(QStringLiteral("filters"));
        if (options.contains(QStringLiteral("filters")) && call.filters.isEmpty())
            usageError(QStringLiteral("--filters får inte vara tom."));
    }
    return call;
}

QString UsageText()
{
    return QStringLiteral(
        "Användning: lystra-cli [--server HOST] [--port N] KOMMANDO ...\n"
        "\n"
        "Kommandon:\n"
        "  users [--before YYYYMMDD]\n"
        "      Användare med utskrifter, en rad var: antal, \" - \", användare\n"
        "      (\"005 - ANNA\"), flest utskrifter först.\n"
        "  list USER [--before YYYYMMDD]\n"
        "      Användarens utskrifter, nyaste först, en rad var med fälten\n"
        "      åtskilda av tabb: id, skapad (datum och tid), sidor, status,\n"
        "      dokument, blankett, utskriftsjobb.\n"
        "  show USER ID [--page N]\n"
        "      Sidornas text. Utan --page alla sidor, åtskilda av en rad med\n"
        "      sidmatning (\\f).\n"
        "  save USER ID... --format spl|txt|pdf --out FIL|MAPP\n"
        "      Sparar utskrifterna som spoolfil, textfil eller PDF. Är --out en\n"
        "      befintlig mapp får varje fil sitt föreslagna namn (dokument-\n"
        "      datum-tid-id) och formatets filändelse; flera id kräver en mapp.\n"
        "  table USER ID [--filters FIL] --csv FIL\n"
        "      Tabellformatets celler som CSV (UTF-8, komma mellan fälten,\n"
        "      kolumnnamnen först), tal med lokalens decimaltecken utan\n"
        "      tusentalsavgränsare. Rader som innehåller en filtersträng (en per\n"
        "      rad i FIL; utan --filters Lystra.gft bredvid programmet om den\n"
        "      finns) tas inte med.\n"
        "  delete USER ID...\n"
        "      Tar bort utskrifterna ur kön. Finns något id inte tas inget bort.\n"
        "\n"
        "Flaggor:\n"
        "  --server HOST    servern VIDAZevivu (annars inställningsfilen, sedan\n"
        "                   127.0.0.1)\n"
        "  --port N         serverns port (annars inställningsfilen, sedan 8888)\n"
        "  --before DATUM   bara utskrifter till och med detta datum\n"
        "  --help           denna text\n"
        "\n"
        "Inställningsfil: lystra-cli.ini bredvid programmet, annars lystra.ini,\n"
        "annars Morvane.ini (avsnitt [Lystra], nycklar VIDAZevivu och Port;\n"
        "[System] DebugSQL=1 skriver varje SQL-sats till standard error).\n"
        "\n"
        "Slutkoder:\n"
        "  0  klart\n"
        "  1  felaktigt kommando, flagga eller argument (även ogiltigt datum)\n"
        "  2  servern svarar inte eller rapporterade ett fel\n"
        "  3  finns inte: okänd användare, okänt id eller sida utanför filen\n"
        "  4  fil: kan inte skriva --out/--csv eller läsa --filters\n"
        "  5  annat fel\n"
        "Fel skrivs till standard error.\n");
}

} // namespace lystra::cli
