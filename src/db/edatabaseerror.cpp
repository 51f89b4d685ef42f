#include "db/edatabaseerror.h"

namespace lystra {

EAbort::EAbort()
    : Exception(QStringLiteral("Operation aborted"))
{
}

EcsSQLError::EcsSQLError(QString message, QList<TcsSQLErrorItem> errors)
    : EDatabaseError(std::move(message))
    , m_errors(std::move(errors))
{
}

void DatabaseError(const QString& message)
{
    throw EDatabaseError(message);
}

} // namespace lystra
