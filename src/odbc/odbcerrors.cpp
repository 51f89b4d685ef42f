#include "odbc/odbcerrors.h"

#include "platform/hostcodec.h"

#include <utility>

namespace lystra {

EConnectionClosed::EConnectionClosed()
    : EODBCError(QStringLiteral("The server closed the connection."))
{
}

EReplyError::EReplyError(int code, QByteArray replyString)
    : Exception(HostCodec::host().decode(replyString)), m_code(code),
      m_replyString(std::move(replyString))
{
}

} // namespace lystra
