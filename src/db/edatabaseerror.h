#pragma once

#include "platform/exception.h"

#include <QList>
#include <QString>

namespace lystra {

// The dataset framework's error: every failure of datasets, fields and
// database connections that the layer reports itself.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A silent abort: the operation stops without a message. Callers that show
// errors to the user let this one pass unseen.
class EAbort : public Exception {
public:
    EAbort();
};

// One error of the server or driver behind an EcsSQLError.
struct TcsSQLErrorItem {
    int ErrorCode = 0;
    QString Message;
};

// An SQL failure that carries the list of errors behind it. The first entry's
// code is the native error code the dataset reports for it.
class EcsSQLError : public EDatabaseError {
public:
    explicit EcsSQLError(QString message, QList<TcsSQLErrorItem> errors = {});

    const QList<TcsSQLErrorItem>& Errors() const noexcept { return m_errors; }
    int NativeErrorCode() const noexcept { return m_errors.isEmpty() ? 0 : m_errors.first().ErrorCode; }

private:
    QList<TcsSQLErrorItem> m_errors;
};

// Raises EDatabaseError with the message.
[[noreturn]] void DatabaseError(const QString& message);

} // namespace lystra
