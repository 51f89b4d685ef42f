#include "platform/exception.h"

#include <utility>

namespace lystra {

Exception::Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8())
{
}

Exception::~Exception() = default;

const char* Exception::what() const noexcept
{
    return m_utf8.constData();
}

} // namespace lystra
