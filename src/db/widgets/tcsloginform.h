#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lystra {

class TcsCustomDatabase;

// The modal login form of a database connection: it edits the connection
// values "Server", "DBQ", "UID" and "PWD" of the database's Params. OK writes
// the four boxes back (an empty box removes its line); Cancel changes
// nothing. The form checks nothing: wrong values surface when the driver
// opens its first connection.
class TcsLoginForm : public QDialog {
    Q_OBJECT
public:
    explicit TcsLoginForm(QWidget* parent = nullptr);
    ~TcsLoginForm() override;

    // Shows the form for `database` and answers whether the user confirmed
    // with OK (false when it was cancelled or closed).
    static bool ShowLoginForm(TcsCustomDatabase& database);
    // Makes ShowLoginForm the dialog that databases with LoginPrompt show.
    static void Install();

    // Fills the boxes from the database's values and remembers it.
    void SetDatabase(TcsCustomDatabase* database);
    // The OK handler: writes the boxes back, then closes with OK.
    void Button1Click();

    QLineEdit* edServer = nullptr;
    QLineEdit* edDatabase = nullptr;
    QLineEdit* edUser = nullptr;
    QLineEdit* edPassword = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

private:
    TcsCustomDatabase* m_database = nullptr; // borrowed while shown
};

} // namespace lystra
