#pragma once

#include "platform/exception.h"

#include <QString>

#include <functional>

namespace lystra::cli {

// The exit codes of lystra-cli. Scripts rely on them: keep the numbers.
enum ExitCode : int {
    ExitOk = 0,
    ExitUsage = 1,    // unknown command or option, missing or malformed argument
    ExitServer = 2,   // server not reachable, or the server reported an error
    ExitNotFound = 3, // unknown user, unknown print file identity, page outside the file
    ExitFile = 4,     // an output file that cannot be written, an input file that cannot be read
    ExitOther = 5,    // anything else
};

// A failure of a command with the message for stderr and the exit code.
class CliError : public Exception {
public:
    CliError(ExitCode code, const QString& message) : Exception(message), m_code(code) {}
    ExitCode code() const noexcept { return m_code; }

private:
    ExitCode m_code;
};

// Whether the failure is of a type of the database layer or the gateway
// protocol. Error texts of the server itself arrive as plain Exception, so the
// commands tell those apart by the step that failed (RunAs).
bool IsServerError(const Exception& error);

// Runs `step`; a lystra::Exception that is not already a CliError leaves as a
// CliError with `code` and the same message.
void RunAs(ExitCode code, const std::function<void()>& step);

} // namespace lystra::cli
