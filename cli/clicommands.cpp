#include "cli/clicommands.h"

#include "cli/clierror.h"
#include "cli/hostconnection.h"
#include "cli/progressline.h"
#include "db/tcsdatabase.h"
#include "platform/formatsettings.h"
#include "platform/hostcodec.h"
#include "printfiles/hosttext.h"
#include "printfiles/sqltext.h"
#include "printfiles/tprintfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <memory>

namespace lystra::cli {

namespace {

QString host(QByteArrayView text)
{
    return HostCodec::host().decode(text);
}

// A value for one tab-separated field: tabs, line breaks and other control
// characters become blanks, so that a line stays one record.
QString field(QByteArrayView text)
{
    QString value = host(text);
    for (QChar& c : value) {
        if (c.unicode() < 32)
            c = u' ';
    }
    return value;
}

QString extensionOf(TStorageFormat format)
{
    switch (format) {
    case sfSpool:
        return QStringLiteral(".spl");
    case sfText:
        return QStringLiteral(".txt");
    case sfPdf:
        break;
    }
    return QStringLiteral(".pdf");
}

// The folder a file is to be written into must exist before anything is
// asked of the server.
void CheckFolderOf(const QString& path)
{
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.isDir())
        throw CliError(ExitFile, QStringLiteral("Mappen \"%1\" finns inte.")
                                     .arg(QDir::toNativeSeparators(folder.filePath())));
}

// Writes a file in one piece: into a temporary file beside it, renamed over
// the target only when everything was written, so that a failure leaves
// neither a half-written file nor a damaged earlier one. A failure of `write`
// is a file error when the file reports one.
void WriteFileAtomically(const QString& path, const std::function<void(QIODevice&)>& write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw CliError(ExitFile, QStringLiteral("Kan inte skapa filen \"%1\": %2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString()));
    try {
        write(file);
    } catch (const CliError&) {
        throw;
    } catch (const Exception& error) {
        throw CliError(file.error() != QFileDevice::NoError ? ExitFile : ExitOther,
                       error.message());
    }
    if (!file.commit())
        throw CliError(ExitFile, QStringLiteral("Kan inte skriva filen \"%1\": %2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString()));
}

// The print queue of the command's user on a connected database.
class Session {
public:
    explicit Session(const Invocation& call) : m_call(call)
    {
        // A user profile names the page-row table: refuse one that cannot be
        // a table name before any statement is sent.
        if (!call.user.isEmpty()) {
            m_user = HostCodec::host().encode(call.user.trimmed());
            m_user = HostCodec::host().encode(host(m_user).toUpper());
            RunAs(ExitUsage, [&] { CheckedUserTable(m_user); });
        }
        m_connection = std::make_unique<HostConnection>(call.server, call.port);
        m_queue = std::make_unique<TPrintFiles>(m_connection->Database());
        // No window here: a failure of the second attempt is always reported.
        m_queue->IsMainWindowVisible = [] {
            return true;
        };
    }

    ~Session()
    {
        // The queue's query goes before the database it runs on.
        m_queue.reset();
        m_connection.reset();
    }

    TPrintFiles& Queue() { return *m_queue; }

    void SetBefore()
    {
        if (m_call.before)
            m_queue->SetDateFilter(TPrintFiles::DateFilterUpTo(*m_call.before));
    }

    // Loads the user's print files; a user without any is unknown.
    void LoadUser()
    {
        m_queue->SetUser(m_user);
        RunAs(ExitServer, [&] { m_queue->Refresh(); });
        if (m_queue->Count() > 0 || !m_call.before) {
            if (m_queue->Count() == 0)
                throw CliError(
                    ExitNotFound,
                    QStringLiteral("Användaren %1 har inga utskrifter.").arg(host(m_user)));
            return;
        }
        // Nothing up to the date: tell an unknown user from an empty range.
        QByteArrayList users;
        RunAs(ExitServer, [&] {
            m_queue->SetDateFilter({});
            m_queue->ListUsers(users, true);
        });
        bool known = false;
        for (const QByteArray& line : std::as_const(users))
            known = known || TrimHost(line.mid(6)) == m_user;
        if (!known)
            throw CliError(ExitNotFound,
                           QStringLiteral("Användaren %1 har inga utskrifter.").arg(host(m_user)));
    }

    // The print files with the command's identities, in their order, each
    // once. Raises ExitNotFound naming the first identity that is missing.
    QList<TPrintFile*> Files()
    {
        QList<TPrintFile*> files;
        for (const QString& id : m_call.ids) {
            const int index = m_queue->IndexOfId(HostCodec::host().encode(id.trimmed()));
            if (index < 0)
                throw CliError(ExitNotFound, QStringLiteral("Utskriften %1 finns inte hos %2.")
                                                 .arg(id.trimmed(), host(m_user)));
            TPrintFile* file = m_queue->Item(index);
            if (!files.contains(file))
                files << file;
        }
        return files;
    }

private:
    const Invocation& m_call;
    QByteArray m_user;
    std::unique_ptr<HostConnection> m_connection;
    std::unique_ptr<TPrintFiles> m_queue;
};

// Hooks the file's progress to a progress line for the lifetime of the guard.
class ProgressHook {
public:
    ProgressHook(TPrintFile& file, const QString& caption)
        : m_file(file), m_line(caption, file.PageCount())
    {
        m_file.OnProgress = [this](TPrintFile&) {
            m_line.Step();
        };
    }
    ~ProgressHook() { m_file.OnProgress = nullptr; }

    ProgressHook(const ProgressHook&) = delete;
    ProgressHook& operator=(const ProgressHook&) = delete;

private:
    TPrintFile& m_file;
    ProgressLine m_line;
};

int Users(const Invocation& call, const Output& output)
{
    Session session(call);
    QByteArrayList lines;
    RunAs(ExitServer, [&] {
        session.SetBefore();
        session.Queue().ListUsers(lines, false);
    });
    for (const QByteArray& line : std::as_const(lines))
        output.out(field(line) + u'\n');
    return ExitOk;
}

int List(const Invocation& call, const Output& output)
{
    Session session(call);
    session.SetBefore();
    session.LoadUser();
    TPrintFiles& queue = session.Queue();
    for (int i = 0; i < queue.Count(); ++i) {
        const TPrintFile& file = *queue.Item(i);
        const QStringList fields = {
            field(file.Id()),
            file.Created().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            QString::number(file.PageCount()),
            field(file.Status()),
            field(file.FileName()),
            field(file.FormName()),
            field(file.Title()),
        };
        output.out(fields.join(u'\t') + u'\n');
    }
    return ExitOk;
}

int Show(const Invocation& call, const Output& output)
{
    Session session(call);
    session.LoadUser();
    TPrintFile& file = *session.Files().constFirst();
    if (call.page > file.PageCount())
        throw CliError(ExitNotFound,
                       QStringLiteral("Sidan %1 finns inte i utskriften %2 (sidor 1-%3).")
                           .arg(call.page)
                           .arg(host(file.Id()))
                           .arg(file.PageCount()));
    const int first = call.page > 0 ? call.page - 1 : 0;
    const int last = call.page > 0 ? call.page - 1 : file.PageCount() - 1;
    for (int i = first; i <= last; ++i) {
        QByteArray text;
        RunAs(ExitServer, [&] { text = file.Page(i).Text(); });
        text.replace("\r\n", "\n");
        if (i > first)
            output.out(QStringLiteral("\f\n"));
        output.out(host(text) + u'\n');
    }
    return ExitOk;
}

int Save(const Invocation& call, const Output& output)
{
    const bool toFolder = QFileInfo(call.out).isDir();
    if (!toFolder) {
        if (call.ids.size() > 1)
            throw CliError(
                ExitUsage,
                QStringLiteral("--out måste vara en befintlig mapp när flera utskrifter sparas."));
        if (call.out.endsWith(u'/'))
            throw CliError(ExitFile, QStringLiteral("Mappen \"%1\" finns inte.").arg(call.out));
        CheckFolderOf(call.out);
    }

    Session session(call);
    session.LoadUser();
    const QList<TPrintFile*> files = session.Files();
    for (TPrintFile* file : files) {
        const QString path =
            toFolder ? QDir(call.out).filePath(file->DocumentFileName() + extensionOf(call.format))
                     : call.out;
        {
            // The pages are read first, so that a failure of the server is
            // told from one of the file; the file keeps every page it read
            // either way.
            ProgressHook progress(*file, QStringLiteral("Lagrar: ") + QFileInfo(path).fileName());
            RunAs(ExitServer, [&] {
                for (int i = 0; i < file->PageCount(); ++i) {
                    file->RaiseProgress();
                    file->Page(i);
                }
            });
        }
        WriteFileAtomically(path, [&](QIODevice& out) {
            switch (call.format) {
            case sfSpool:
                file->WriteSpoolFile(out);
                break;
            case sfText:
                file->WriteTextFile(out);
                break;
            case sfPdf:
                file->WritePdfFile(out);
                break;
            }
        });
        output.out(QDir::toNativeSeparators(path) + u'\n');
    }
    return ExitOk;
}

// Whether the table view's numeric column takes the text: a number with the
// locale's decimal separator, without grouping.
bool IsNumberText(const QString& text)
{
    QString plain = text.trimmed();
    plain.replace(FormatSettings::current().decimalSeparator, u'.');
    bool ok = false;
    plain.toDouble(&ok);
    return ok;
}

// The cell as the table view's column holds it: a number column takes only
// numbers and a date column only dates in the locale's short format; any
// other text stays out of the cell, as the grid leaves it empty.
QString GridCell(const TColumnDef& column, const QString& text)
{
    if (text.isEmpty())
        return text;
    switch (column.Kind) {
    case TColumnKind::Number:
        return IsNumberText(text) ? text : QString();
    case TColumnKind::Date:
        return FormatSettings::current().parseDate(text) ? text : QString();
    case TColumnKind::Text:
        break;
    }
    return text;
}

int Table(const Invocation& call, const Output& output)
{
    QString filtersFile = call.filters;
    if (filtersFile.isEmpty()) {
        const QString beside =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Lystra.gft"));
        if (QFileInfo(beside).isFile())
            filtersFile = beside;
    }
    QByteArrayList filters;
    if (!filtersFile.isEmpty()) {
        QFile file(filtersFile);
        if (!file.open(QIODevice::ReadOnly))
            throw CliError(ExitFile,
                           QStringLiteral("Kan inte läsa filen \"%1\": %2")
                               .arg(QDir::toNativeSeparators(filtersFile), file.errorString()));
        filters = FilterStringsFrom(file.readAll());
    }
    CheckFolderOf(call.csv);

    Session session(call);
    session.LoadUser();
    TPrintFile& file = *session.Files().constFirst();
    file.Table().RowFilters = filters;
    int columns = 0;
    int rows = 0;
    {
        ProgressHook progress(file, QStringLiteral("Tabellformat: ") + host(file.Id()));
        RunAs(ExitServer, [&] {
            columns = file.ColumnCount();
            rows = file.TableRowCount();
        });
    }
    if (columns == 0)
        output.err(QStringLiteral("lystra-cli: Utskriften %1 har inget tabellformat (ingen "
                                  "kolumnlinjal på de tre första sidorna).\n")
                       .arg(host(file.Id())));

    WriteFileAtomically(call.csv, [&](QIODevice& out) {
        const auto write = [&](const QStringList& fields) {
            const QByteArray bytes = CsvRecord(fields).toUtf8();
            if (out.write(bytes) != bytes.size())
                throw Exception(out.errorString());
        };
        if (columns == 0)
            return;
        QStringList names;
        for (int k = 0; k < columns; ++k)
            names << host(file.Column(k).Name);
        write(names);
        for (int i = 0; i < rows; ++i) {
            if (file.IsOverprintRow(i))
                continue;
            QStringList cells;
            for (int k = 0; k < columns; ++k) {
                cells << GridCell(file.Column(k), host(TrimHost(file.GetCellText(i, k))));
            }
            write(cells);
        }
    });
    output.out(QDir::toNativeSeparators(call.csv) + u'\n');
    return ExitOk;
}

int Delete(const Invocation& call, const Output& output)
{
    Session session(call);
    session.LoadUser();
    // Every identity is checked before the first delete.
    const QList<TPrintFile*> files = session.Files();
    for (TPrintFile* file : files) {
        const QString id = host(file->Id());
        RunAs(ExitServer, [&] { session.Queue().Delete(file); });
        output.out(id + u'\n');
    }
    return ExitOk;
}

} // namespace

QString CsvRecord(const QStringList& fields)
{
    QString record;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            record += u',';
        const QString& value = fields[i];
        const bool quote = value.contains(u',') || value.contains(u'"') || value.contains(u'\n') ||
                           value.contains(u'\r') || value.startsWith(u' ') || value.endsWith(u' ');
        if (quote) {
            QString escaped = value;
            escaped.replace(u'"', QStringLiteral("\"\""));
            record += u'"' + escaped + u'"';
        } else {
            record += value;
        }
    }
    return record + u'\n';
}

QByteArrayList FilterStringsFrom(const QByteArray& bytes)
{
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(text);
    // Valid UTF-8 is converted to host text; anything else is host text already.
    if (!utf8.hasError())
        text = HostCodec::host().encode(decoded);
    QByteArrayList filters;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            filters << line;
    }
    return filters;
}

int RunCommand(const Invocation& call, const Output& output)
{
    switch (call.command) {
    case Command::Help:
        output.out(UsageText());
        return ExitOk;
    case Command::Users:
        return Users(call, output);
    case Command::List:
        return List(call, output);
    case Command::Show:
        return Show(call, output);
    case Command::Save:
        return Save(call, output);
    case Command::Table:
        return Table(call, output);
    case Command::Delete:
        return Delete(call, output);
    }
    return ExitUsage;
}

} // namespace lystra::cli
