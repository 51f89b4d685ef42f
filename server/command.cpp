#include "server/command.h"

#include <limits>

namespace lystra {

namespace {

bool isBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isBlankOrControl(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlankOrControl(text.back()))
        text.chop(1);
    return text;
}

struct Keyword {
    const char* word;
    CommandKind kind;
};

constexpr Keyword kKeywords[] = {
    {"open", CommandKind::Open},         {"sql", CommandKind::Sql},
    {"execsql", CommandKind::ExecSql},   {"execsql2", CommandKind::ExecSql2},
    {"sqlbatch", CommandKind::SqlBatch}, {"prep", CommandKind::Prep},
    {"exec", CommandKind::Exec},         {"get", CommandKind::Get},
    {"info", CommandKind::Info},         {"tran", CommandKind::Tran},
    {"clear", CommandKind::Clear},       {"sys", CommandKind::Sys},
};

} // namespace

Command parseCommand(QByteArrayView line)
{
    while (!line.isEmpty() && isBlankOrControl(line.front()))
        line = line.sliced(1);
    Command command;
    if (trimmed(line).isEmpty())
        return command;
    const qsizetype blank = line.indexOf(' ');
    const QByteArrayView word = blank < 0 ? line : line.first(blank);
    command.word = word.toByteArray();
    if (blank >= 0)
        command.argument = line.sliced(blank + 1).toByteArray();
    command.kind = CommandKind::Unknown;
    const QByteArray lower = command.word.toLower();
    for (const Keyword& keyword : kKeywords) {
        if (lower == keyword.word) {
            command.kind = keyword.kind;
            break;
        }
    }
    return command;
}

OpenArguments splitOpenArguments(QByteArrayView argument)
{
    OpenArguments words;
    qsizetype blank = argument.indexOf(' ');
    words.database = (blank < 0 ? argument : argument.first(blank)).toByteArray();
    if (blank < 0)
        return words;
    argument = argument.sliced(blank + 1);
    blank = argument.indexOf(' ');
    words.user = (blank < 0 ? argument : argument.first(blank)).toByteArray();
    if (blank >= 0)
        words.password = argument.sliced(blank + 1).toByteArray();
    return words;
}

std::optional<int> parseRowCount(QByteArrayView text, int cap)
{
    text = trimmed(text);
    if (text.isEmpty())
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        if (value <= std::numeric_limits<int>::max())
            value = value * 10 + (c - '0');
    }
    if (value < 1)
        return std::nullopt;
    return int(qMin<long long>(value, cap));
}

QList<QByteArray> splitExecValues(QByteArrayView text, int markerCount)
{
    QList<QByteArray> values;
    if (text.isEmpty() && markerCount == 0)
        return values;
    qsizetype start = 0;
    while (true) {
        const qsizetype comma = text.indexOf(',', start);
        if (comma < 0) {
            values.append(text.sliced(start).toByteArray());
            return values;
        }
        values.append(text.sliced(start, comma - start).toByteArray());
        start = comma + 1;
    }
}

SysRequest parseSysRequest(QByteArrayView argument)
{
    argument = trimmed(argument);
    SysRequest request;
    const qsizetype blank = argument.indexOf(' ');
    request.name = (blank < 0 ? argument : argument.first(blank)).toByteArray().toLower();
    if (blank >= 0)
        request.argument = trimmed(argument.sliced(blank + 1)).toByteArray();
    return request;
}

QByteArray printable(QByteArrayView text, qsizetype maxLength)
{
    QByteArray out;
    const qsizetype length = qMin(text.size(), maxLength);
    out.reserve(length + 3);
    for (qsizetype i = 0; i < length; ++i) {
        const char c = text[i];
        out.append(c >= 32 && c < 127 ? c : '?');
    }
    if (text.size() > maxLength)
        out.append("...");
    return out;
}

} // namespace lystra
