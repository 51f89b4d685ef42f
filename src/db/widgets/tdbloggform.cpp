#include "db/widgets/tdbloggform.h"

#include "db/tcsdatabase.h"
#include "db/tdatabasemanager.h"
#include "db/widgets/sqlhighlighter.h"
#include "platform/formatsettings.h"
#include "platform/hostcodec.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextCursor>
#include <QTime>
#include <QVBoxLayout>

#include <exception>

namespace lystra {

namespace {

QPointer<TdbLoggForm>& instance()
{
    static QPointer<TdbLoggForm> form;
    return form;
}

// Set when the application starts to quit: disconnections at the end of the
// program write no notes.
bool& programEnding()
{
    static bool ending = false;
    return ending;
}

QString timeOfDay()
{
    return FormatSettings::current().timeText(QTime::currentTime());
}

// Trims blanks and control characters at both ends and reduces every run of
// blanks inside to one blank; tabs and line breaks are no blanks here.
QString reduceBlanks(const QString& text)
{
    const QString trimmed = text.trimmed();
    QString reduced;
    reduced.reserve(trimmed.size());
    for (const QChar c : trimmed) {
        if (c == u' ' && reduced.endsWith(u' '))
            continue;
        reduced.append(c);
    }
    return reduced;
}

} // namespace

TdbLoggForm::TdbLoggForm()
{
    setObjectName(QStringLiteral("dbLoggForm"));
    setWindowTitle(QStringLiteral("SQL Debug"));
    resize(775, 367);
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo"));
    m_memo->setReadOnly(true);
    m_memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_highlighter = new SqlHighlighter(m_memo->document());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_memo);
}

TdbLoggForm::~TdbLoggForm() = default;

TdbLoggForm* TdbLoggForm::Instance()
{
    return instance().data();
}

TdbLoggForm& TdbLoggForm::Attach(TcsCustomDatabase& database)
{
    if (instance().isNull()) {
        auto* form = new TdbLoggForm;
        instance() = form;
        form->Clear();
        form->move(0, 0);
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, form,
                             [] { programEnding() = true; });
    }
    TdbLoggForm& form = *instance();
    form.show();
    database.AfterDisconnect = [&database](TComponent*) {
        if (TdbLoggForm* log = Instance())
            log->AfterDisconnect(database);
    };
    const QString label = LabelOf(database.Tag());
    if (label.isEmpty()) {
        database.OnTraceSQL = nullptr;
    } else {
        database.OnTraceSQL = [label](const QByteArray& text) {
            if (TdbLoggForm* log = Instance())
                log->Trace(label, text);
        };
    }
    return form;
}

TdbLoggForm* TdbLoggForm::AttachWhenTraced(TDatabaseManager& manager)
{
    if (!manager.TraceSQL())
        return nullptr;
    return &Attach(*manager.Database(dkHost));
}

void TdbLoggForm::FreeInstance()
{
    delete instance().data();
    instance() = nullptr;
}

QString TdbLoggForm::LabelOf(int kind)
{
    switch (kind) {
    case 0:
        return QStringLiteral("dbIBM");
    case 1:
        return QStringLiteral("dbSQL");
    case 2:
        return QStringLiteral("dbOpen");
    default:
        return QString();
    }
}

QString TdbLoggForm::LayoutStatement(const QString& traceText)
{
    QString text = reduceBlanks(traceText);
    // In this order, without regard to case and also inside longer words;
    // the replacement is written in lower case.
    static const struct {
        const char16_t* find;
        const char16_t* replace;
    } breaks[] = {
        {u" select", u"\r\n select"},   {u"(select", u"\r\n(select"},
        {u"from", u"\r\nfrom"},         {u"where", u"\r\nwhere"},
        {u"group by", u"\r\ngroup by"}, {u"order by", u"\r\norder by"},
        {u"union", u"\r\nunion"},
    };
    for (const auto& b : breaks)
        text.replace(QString::fromUtf16(b.find), QString::fromUtf16(b.replace),
                     Qt::CaseInsensitive);
    const qsizetype bar = text.indexOf(u'|');
    if (bar >= 0)
        text.remove(0, std::min(bar + 2, text.size()));
    return text;
}

QString TdbLoggForm::FormatRunTime(const QString& traceText)
{
    const QString trimmed = reduceBlanks(traceText);
    const qsizetype blank = trimmed.indexOf(u' ');
    const QString head = blank < 0 ? trimmed : trimmed.left(blank);
    QString digits;
    for (const QChar c : head) {
        if (c.isDigit())
            digits.append(c);
    }
    const bool negative = head.startsWith(u'-');
    while (digits.size() > 1 && digits.startsWith(u'0'))
        digits.remove(0, 1);
    if (digits.isEmpty() || digits == u"0")
        return QString();
    if (digits.size() < 4)
        digits = QString(4 - digits.size(), u'0') + digits;
    return negative ? u'-' + digits : digits;
}

void TdbLoggForm::Clear()
{
    m_memo->clear();
    m_hasLines = false;
}

QString TdbLoggForm::Text() const
{
    return m_memo->toPlainText();
}

void TdbLoggForm::ClearAndShowIfHidden()
{
    if (isHidden()) {
        Clear();
        show();
    }
}

void TdbLoggForm::AppendLine(const QString& line)
{
    // Each entry is one or more lines of its own, an empty entry included;
    // the editor's append would merge an empty first entry into nothing.
    QString text = line;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor(m_memo->document());
    cursor.movePosition(QTextCursor::End);
    if (m_hasLines)
        cursor.insertBlock();
    cursor.insertText(text);
    m_hasLines = true;
    m_memo->moveCursor(QTextCursor::End);
    m_memo->ensureCursorVisible();
}

void TdbLoggForm::Trace(const QString& label, const QByteArray& traceText)
{
    ClearAndShowIfHidden();
    const QString text = HostCodec::host().decode(traceText);
    AppendLine(QString());
    AppendLine(LayoutStatement(text));
    AppendLine(u'{' + label + u' ' + FormatRunTime(text) + QStringLiteral(" ms - ") + timeOfDay() +
               u'}');
}

void TdbLoggForm::AfterDisconnect(TcsCustomDatabase& database)
{
    if (programEnding() || QCoreApplication::closingDown())
        return;
    // Once the user closed the log, disconnections neither write notes nor
    // bring the window back; the next statement does.
    if (m_closedByUser)
        return;
    try {
        ClearAndShowIfHidden();
        const QString label = LabelOf(database.Tag());
        AppendLine(u'{' + label + QStringLiteral(" - Disconnected - ") + timeOfDay() + u'}');
        show();
    } catch (const std::exception&) {
        // A note that cannot be written is left out.
    }
}

void TdbLoggForm::closeEvent(QCloseEvent* event)
{
    m_closedByUser = true;
    hide();
    event->ignore();
}

} // namespace lystra
