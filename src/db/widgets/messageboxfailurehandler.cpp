#include "db/widgets/messageboxfailurehandler.h"

#include <QApplication>
#include <QMessageBox>

namespace lystra {

void MessageBoxFailureHandler::ShowError(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("DatabaseFailureBox"));
    box.exec();
}

void MessageBoxFailureHandler::Terminate()
{
    // Queued: at start-up the event loop is not running yet, and exit()
    // alone would do nothing then.
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
}

void MessageBoxFailureHandler::Install()
{
    static MessageBoxFailureHandler handler;
    TDatabaseManager::SetConnectFailureHandler(&handler);
}

} // namespace lystra
