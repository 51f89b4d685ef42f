#include "server/memorychannel.h"

#include <cstring>

namespace lystra {

MemoryChannel::MemoryChannel(QByteArray input, qsizetype lineLimit, qsizetype skipBudget)
    : m_input(std::move(input)),
      m_reader(
          [this](char* buffer, qsizetype capacity) {
              const qsizetype n = qMin(capacity, m_input.size() - m_position);
              if (n > 0)
                  std::memcpy(buffer, m_input.constData() + m_position, size_t(n));
              m_position += n;
              return n;
          },
          lineLimit, skipBudget)
{
}

bool MemoryChannel::send(QByteArrayView bytes)
{
    m_output.append(bytes);
    return true;
}

} // namespace lystra
