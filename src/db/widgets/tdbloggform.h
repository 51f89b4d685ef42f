#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

class QPlainTextEdit;

namespace lystra {

class SqlHighlighter;
class TcsCustomDatabase;
class TDatabaseManager;

// The SQL log window: every statement a database's driver runs, laid out
// over several lines with its run time and the time of day, and every
// disconnection of the database, for support staff. One window exists per
// program, created by the first Attach; the program frees it with
// FreeInstance before its application object goes.
//
// Closing the window hides it and stops the disconnection notes; the next
// statement shows it again with only that statement in it.
class TdbLoggForm : public QWidget {
    Q_OBJECT
public:
    ~TdbLoggForm() override;

    // The window, nullptr before the first Attach and after FreeInstance.
    static TdbLoggForm* Instance();
    // Creates the window if needed (clearing it and placing it at 0, 0),
    // shows it, and makes it the database's trace and after-disconnect
    // handler. Databases of kind (tag) 0, 1 and 2 trace as "dbIBM", "dbSQL"
    // and "dbOpen"; another kind gets no trace handler.
    static TdbLoggForm& Attach(TcsCustomDatabase& database);
    static void FreeInstance();
    // At start-up: attaches the log to the manager's host database when the
    // settings ask for SQL tracing ("DebugSQL"); answers the window or
    // nullptr.
    static TdbLoggForm* AttachWhenTraced(TDatabaseManager& manager);

    // The trace label of a database kind; empty for kinds without one.
    static QString LabelOf(int kind);
    // The statement of a trace text ("15 ms |", a tab, the statement) laid
    // out for the log: blanks reduced, a line break ("\r\n") before select,
    // from, where, group by, order by and union (written in lower case).
    static QString LayoutStatement(const QString& traceText);
    // The run time of a trace text as the log notes it: the digits before
    // the first blank as at least four digits ("0015"); empty for 0.
    static QString FormatRunTime(const QString& traceText);

    // Appends an empty line, the laid-out statement and the note
    // "{<label> <run time> ms - <time of day>}"; shows the window.
    void Trace(const QString& label, const QByteArray& traceText);
    // Appends "{<label> - Disconnected - <time of day>}" unless the user
    // closed the window; nothing once the program is ending.
    void AfterDisconnect(TcsCustomDatabase& database);

    bool ClosedByUser() const noexcept { return m_closedByUser; }
    QPlainTextEdit* Memo() const noexcept { return m_memo; }
    // The text as shown, lines separated by "\n".
    QString Text() const;
    void Clear();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TdbLoggForm();
    void ClearAndShowIfHidden();
    void AppendLine(const QString& line);

    QPlainTextEdit* m_memo = nullptr;
    SqlHighlighter* m_highlighter = nullptr;
    bool m_closedByUser = false;
    bool m_hasLines = false; // the text holds at least one line
};

} // namespace lystra
