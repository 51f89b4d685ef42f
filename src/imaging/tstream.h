#pragma once

#include "platform/exception.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class QIODevice;

namespace lystra {

// A read or write that could not move the whole buffer ("Stream read error",
// "Stream write error").
class EStreamError : public Exception {
public:
    using Exception::Exception;
};

enum class SeekOrigin { Beginning = 0, Current = 1, End = 2 };

// The byte stream the bitmap and the compressed stream format work on: a
// position, a size and four overridable operations. Offsets and counts are
// 64-bit here; the compressed format itself stores 32-bit sizes.
class TStream {
public:
    virtual ~TStream();

    // Moves up to count bytes; returns how many moved (0 at the end).
    virtual std::int64_t read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t write(const void* buffer, std::int64_t count) = 0;
    // Returns the new position, or whatever the stream defines for it.
    virtual std::int64_t seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual void setSize(std::int64_t newSize) = 0;

    std::int64_t position() { return seek(0, SeekOrigin::Current); }
    void setPosition(std::int64_t position) { seek(position, SeekOrigin::Beginning); }
    // The size as every stream user asks for it: seek to the current
    // position, to the end, and back to where it was.
    std::int64_t size();

    // Move exactly count bytes or throw EStreamError.
    void readBuffer(void* buffer, std::int64_t count);
    void writeBuffer(const void* buffer, std::int64_t count);
};

// A stream over a growable byte array it owns.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(QByteArray data) : m_data(std::move(data)) {}

    std::int64_t read(void* buffer, std::int64_t count) override;
    std::int64_t write(const void* buffer, std::int64_t count) override;
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;
    void setSize(std::int64_t newSize) override;

    const QByteArray& data() const { return m_data; }

private:
    QByteArray m_data;
    std::int64_t m_position = 0;
};

// A stream over an open Qt device (a file); the device is borrowed and must
// outlive the stream.
class TDeviceStream : public TStream {
public:
    explicit TDeviceStream(QIODevice& device) : m_device(device) {}

    std::int64_t read(void* buffer, std::int64_t count) override;
    std::int64_t write(const void* buffer, std::int64_t count) override;
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;
    void setSize(std::int64_t newSize) override;

private:
    QIODevice& m_device;
};

} // namespace lystra
