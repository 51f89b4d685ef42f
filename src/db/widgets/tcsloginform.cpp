#include "db/widgets/tcsloginform.h"

#include "db/tcsdatabase.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace lystra {

namespace {

// The connection values in the order the boxes show and OK writes them.
constexpr const char16_t* kServer = u"Server";
constexpr const char16_t* kDatabase = u"DBQ";
constexpr const char16_t* kUser = u"UID";
constexpr const char16_t* kPassword = u"PWD";

QLineEdit* addBox(QFormLayout* form, QWidget* parent, const QString& labelName,
                  const QString& caption, const QString& boxName)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(labelName);
    auto* box = new QLineEdit(parent);
    box->setObjectName(boxName);
    label->setBuddy(box);
    form->addRow(label, box);
    return box;
}

} // namespace

TcsLoginForm::TcsLoginForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("csLoginForm"));
    setWindowTitle(QStringLiteral("Login"));
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    setFixedSize(282, 217);

    auto* group = new QGroupBox(QStringLiteral("Database login"), this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto* form = new QFormLayout(group);
    edServer = addBox(form, group, QStringLiteral("Label1"), QStringLiteral("Server name:"),
                      QStringLiteral("edServer"));
    edDatabase = addBox(form, group, QStringLiteral("Label2"), QStringLiteral("Database name:"),
                        QStringLiteral("edDatabase"));
    edUser = addBox(form, group, QStringLiteral("Label3"), QStringLiteral("User id:"),
                    QStringLiteral("edUser"));
    edPassword = addBox(form, group, QStringLiteral("Label4"), QStringLiteral("Password:"),
                        QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    // The mask character is "*" whatever the style's own choice.
    edPassword->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button1, &QPushButton::clicked, this, &TcsLoginForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    setTabOrder(edServer, edDatabase);
    setTabOrder(edDatabase, edUser);
    setTabOrder(edUser, edPassword);
}

TcsLoginForm::~TcsLoginForm() = default;

void TcsLoginForm::SetDatabase(TcsCustomDatabase* database)
{
    m_database = database;
    if (database == nullptr)
        return;
    const TNameValueList& params = database->Params();
    edServer->setText(params.Values(kServer));
    edDatabase->setText(params.Values(kDatabase));
    edUser->setText(params.Values(kUser));
    edPassword->setText(params.Values(kPassword));
}

void TcsLoginForm::Button1Click()
{
    if (m_database != nullptr) {
        TNameValueList& params = m_database->Params();
        params.SetValues(kServer, edServer->text());
        params.SetValues(kDatabase, edDatabase->text());
        params.SetValues(kUser, edUser->text());
        params.SetValues(kPassword, edPassword->text());
    }
    accept();
}

bool TcsLoginForm::ShowLoginForm(TcsCustomDatabase& database)
{
    TcsLoginForm form;
    form.SetDatabase(&database);
    const bool confirmed = form.exec() == QDialog::Accepted;
    form.SetDatabase(nullptr);
    return confirmed;
}

void TcsLoginForm::Install()
{
    TcsCustomDatabase::SetLoginDialog(
        [](TcsCustomDatabase& database) { return ShowLoginForm(database); });
}

} // namespace lystra
