#pragma once

#include "db/tdatabasemanager.h"

namespace lystra {

// The database manager's start-up failure in a GUI program: an error box
// with one OK button over the active window, then a request to end the
// program that takes effect when control reaches the event loop.
class MessageBoxFailureHandler : public TConnectFailureHandler {
public:
    void ShowError(const QString& message) override;
    void Terminate() override;

    // Installs one process-wide instance with the database manager.
    static void Install();
};

} // namespace lystra
