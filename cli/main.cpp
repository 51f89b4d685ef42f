// lystra-cli: the command-line companion of Lystra. Lists print queues and
// users, shows and saves print files, exports the table format as CSV and
// deletes print files, for scripts and batch export. See --help.

#include "cli/cliarguments.h"
#include "cli/clicommands.h"
#include "cli/clierror.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

namespace {

using namespace lystra;
using namespace lystra::cli;

void write(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

// One message on stderr, prefixed with the program's name; the database
// layer's CR LF line breaks become plain ones.
void report(const QString& message)
{
    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (text.endsWith(u'\n'))
        text.chop(1);
    std::fflush(stdout);
    write(stderr, QStringLiteral("lystra-cli: ") + text + u'\n');
    std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lystra-cli"));
    const Output output{[](const QString& text) { write(stdout, text); },
                        [](const QString& text) {
                            std::fflush(stdout);
                            write(stderr, text);
                        }};
    int code = ExitOther;
    try {
        code = RunCommand(ParseArguments(QCoreApplication::arguments().mid(1)), output);
    } catch (const CliError& error) {
        report(error.message());
        code = error.code();
    } catch (const Exception& error) {
        report(error.message());
        code = IsServerError(error) ? ExitServer : ExitOther;
    } catch (const std::exception& error) {
        report(QString::fromLocal8Bit(error.what()));
        code = ExitOther;
    }
    std::fflush(stdout);
    return code;
}
