#include "imaging/tstream.h"

#include <QFileDevice>
#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace lystra {

TStream::~TStream() = default;

std::int64_t TStream::size()
{
    const std::int64_t current = seek(0, SeekOrigin::Current);
    const std::int64_t end = seek(0, SeekOrigin::End);
    seek(current, SeekOrigin::Beginning);
    return end;
}

void TStream::readBuffer(void* buffer, std::int64_t count)
{
    if (count != 0 && (count < 0 || read(buffer, count) != count))
        throw EStreamError(QStringLiteral("Stream read error"));
}

void TStream::writeBuffer(const void* buffer, std::int64_t count)
{
    if (count != 0 && (count < 0 || write(buffer, count) != count))
        throw EStreamError(QStringLiteral("Stream write error"));
}

std::int64_t TMemoryStream::read(void* buffer, std::int64_t count)
{
    const std::int64_t available = std::max<std::int64_t>(0, m_data.size() - m_position);
    const std::int64_t n = std::clamp<std::int64_t>(count, 0, available);
    if (n > 0)
        std::memcpy(buffer, m_data.constData() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

std::int64_t TMemoryStream::write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    if (m_position + count > m_data.size())
        m_data.resize(m_position + count);
    std::memcpy(m_data.data() + m_position, buffer, static_cast<size_t>(count));
    m_position += count;
    return count;
}

std::int64_t TMemoryStream::seek(std::int64_t offset, SeekOrigin origin)
{
    switch (origin) {
    case SeekOrigin::Beginning: m_position = offset; break;
    case SeekOrigin::Current: m_position += offset; break;
    case SeekOrigin::End: m_position = m_data.size() + offset; break;
    }
    m_position = std::max<std::int64_t>(m_position, 0);
    return m_position;
}

void TMemoryStream::setSize(std::int64_t newSize)
{
    m_data.resize(std::max<std::int64_t>(newSize, 0));
    m_position = std::min<std::int64_t>(m_position, m_data.size());
}

std::int64_t TDeviceStream::read(void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    return std::max<std::int64_t>(0, m_device.read(static_cast<char*>(buffer), count));
}

std::int64_t TDeviceStream::write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    return std::max<std::int64_t>(0, m_device.write(static_cast<const char*>(buffer), count));
}

std::int64_t TDeviceStream::seek(std::int64_t offset, SeekOrigin origin)
{
    std::int64_t target = offset;
    if (origin == SeekOrigin::Current)
        target += m_device.pos();
    else if (origin == SeekOrigin::End)
        target += m_device.size();
    m_device.seek(std::max<std::int64_t>(target, 0));
    return m_device.pos();
}

void TDeviceStream::setSize(std::int64_t newSize)
{
    if (auto* file = qobject_cast<QFileDevice*>(&m_device))
        file->resize(newSize);
}

} // namespace lystra
