#include "imaging/tcompressorstream.h"

#include "imaging/bufferzlib.h"
#include "imaging/lzrw1kh.h"
#include "platform/rounding.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace lystra {

namespace {

constexpr std::array<char, 4> kTagLzrw{'C', 'M', 'P', 'F'};
constexpr std::array<char, 4> kTagZlibFast{'C', 'M', 'P', 'H'};
constexpr std::array<char, 4> kTagZlibMax{'C', 'M', 'M', 'H'};
constexpr std::array<char, 4> kTagMix{'C', 'X', 'I', 'M'};
constexpr std::uint16_t kRecordVersion = 0x0100;

void put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t get32(const std::uint8_t* at)
{
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16
           | std::uint32_t{at[3]} << 24;
}

std::array<char, 4> tagOf(TCompressionLevel method)
{
    switch (method) {
    case cmLZRW1KH: return kTagLzrw;
    case cmZLIBfast: return kTagZlibFast;
    case cmMix: return kTagMix;
    case cmNone:
    case cmZLIBmax: break;
    }
    return kTagZlibMax;
}

} // namespace

std::array<std::uint8_t, TCompressorHeader::kSize> TCompressorHeader::toBytes() const
{
    std::array<std::uint8_t, kSize> bytes{};
    put32(&bytes[0], recordSize);
    std::memcpy(&bytes[4], tag.data(), 4);
    put32(&bytes[8], originalSize);
    bytes[12] = static_cast<std::uint8_t>(version);
    bytes[13] = static_cast<std::uint8_t>(version >> 8);
    bytes[14] = static_cast<std::uint8_t>(reserved);
    bytes[15] = static_cast<std::uint8_t>(reserved >> 8);
    put32(&bytes[16], totalSize);
    return bytes;
}

TCompressorHeader TCompressorHeader::fromBytes(const std::uint8_t* bytes)
{
    TCompressorHeader h;
    h.recordSize = get32(bytes);
    std::memcpy(h.tag.data(), bytes + 4, 4);
    h.originalSize = get32(bytes + 8);
    h.version = static_cast<std::uint16_t>(bytes[12] | bytes[13] << 8);
    h.reserved = static_cast<std::uint16_t>(bytes[14] | bytes[15] << 8);
    h.totalSize = get32(bytes + 16);
    return h;
}

TCompressorStream::TCompressorStream(TStream& target) : m_target(target) {}

TCompressorStream::~TCompressorStream() = default;

void TCompressorStream::fail(const char* message)
{
    throw ECompressorException(QString::fromLatin1(message));
}

void TCompressorStream::setActive(bool active)
{
    if (active == m_active)
        return;
    if (m_reading)
        fail("Invalid operation, read pending");
    if (m_writing)
        fail("Invalid operation, write pending");
    m_active = active;
    if (m_active && m_method == cmNone)
        m_method = cmZLIBmax;
}

void TCompressorStream::fireProgress(int stage)
{
    if (!m_onProgress)
        return;
    // An empty stream has nothing left to move: report it as complete.
    const int percent = m_header.originalSize == 0
                            ? 100
                            : roundHalfEven(double(m_processed) / m_header.originalSize * 100);
    m_onProgress(*this, stage, percent);
}

void TCompressorStream::startBuffers()
{
    m_processed = 0;
    m_raw = 0;
    m_bufUsed = 0;
    m_blockLen = 0;
    if (!m_inBuffer)
        m_inBuffer.reset(new (std::nothrow) std::uint8_t[kBufferSize]);
    if (!m_outBuffer)
        m_outBuffer.reset(new (std::nothrow) std::uint8_t[kBufferSize]);
    fireProgress(1);
    if (!m_inBuffer || !m_outBuffer) {
        finishPhase();
        fail("Read error, IO buffer allocation failed");
    }
}

void TCompressorStream::finishPhase()
{
    if (m_reading && (m_header.totalSize == 0 || m_header.totalSize == 14))
        m_header.totalSize = m_raw;
    m_inBuffer.reset();
    m_outBuffer.reset();
    fireProgress(3);
    m_reading = false;
    m_writing = false;
    fireProgress(0);
}

bool TCompressorStream::readHeader()
{
    m_header = {};
    const std::int64_t start = m_target.position();
    std::array<std::uint8_t, TCompressorHeader::kSize> bytes{};
    const std::int64_t got = m_target.read(bytes.data(), bytes.size());
    m_header = TCompressorHeader::fromBytes(bytes.data());
    if (got < TCompressorHeader::kSize || m_header.recordSize != TCompressorHeader::kSize) {
        finishPhase();
        m_target.seek(start, SeekOrigin::Beginning);
        return false;
    }
    if (m_header.tag == kTagLzrw)
        m_method = cmLZRW1KH;
    else if (m_header.tag == kTagZlibFast)
        m_method = cmZLIBfast;
    else if (m_header.tag == kTagZlibMax)
        m_method = cmZLIBmax;
    else if (m_header.tag == kTagMix)
        m_method = cmMix;
    else
        fail("Read error, compression header corrupt");
    startBuffers();
    m_raw = TCompressorHeader::kSize;
    return true;
}

void TCompressorStream::setSize(std::int64_t newSize)
{
    if (!m_active)
        return;
    if (m_reading)
        fail("Invalid operation, read pending");
    if (m_writing)
        return;
    // Switching on never leaves cmNone; should it have been set again since,
    // the stream writes what switching on would have chosen.
    if (m_method == cmNone)
        m_method = cmZLIBmax;
    m_header = {};
    m_header.recordSize = TCompressorHeader::kSize;
    m_header.tag = tagOf(m_method);
    m_header.originalSize = static_cast<std::uint32_t>(newSize);
    m_header.version = kRecordVersion;
    m_header.totalSize = static_cast<std::uint32_t>(m_target.position());
    const auto bytes = m_header.toBytes();
    m_target.writeBuffer(bytes.data(), bytes.size());
    startBuffers();
    m_raw = TCompressorHeader::kSize;
    m_bufPos = 0;
    m_writing = true;
    m_compressed = true;
    // Nothing to wait for: an empty stream is complete as soon as it starts.
    if (m_header.originalSize == 0)
        writeRecordBack();
}

std::int64_t TCompressorStream::write(const void* buffer, std::int64_t count)
{
    if (count < 1)
        return 0;
    if (!m_active)
        return m_target.write(buffer, count);
    if (m_reading)
        fail("Invalid operation, read pending");
    if (!m_writing)
        fail("Invalid operation, header not initialized");
    const auto* from = static_cast<const std::uint8_t*>(buffer);
    std::int64_t taken = 0;
    while (taken < count && m_processed < m_header.originalSize) {
        // Never take more than the declared size: the surplus is left to the
        // caller as a short write.
        const std::int64_t n =
            std::min({count - taken, std::int64_t{kBlockSize - m_bufUsed},
                      std::int64_t{m_header.originalSize - m_processed}});
        std::memcpy(m_inBuffer.get() + m_bufPos, from + taken, static_cast<size_t>(n));
        taken += n;
        m_bufPos += int(n);
        m_bufUsed += int(n);
        m_blockLen += int(n);
        m_processed += std::uint32_t(n);
        if (m_bufUsed == kBlockSize || m_processed == m_header.originalSize) {
            writeBlock(m_blockLen);
            m_bufPos = 0;
            m_bufUsed = 0;
            m_blockLen = 0;
        }
        fireProgress(2);
    }
    if (m_processed == m_header.originalSize)
        writeRecordBack();
    return taken;
}

void TCompressorStream::writeRecordBack()
{
    const std::int64_t end = m_target.position();
    const std::int64_t recordAt = m_header.totalSize;
    m_header.totalSize = m_raw;
    const auto bytes = m_header.toBytes();
    m_target.seek(recordAt, SeekOrigin::Beginning);
    const std::int64_t written = m_target.write(bytes.data(), bytes.size());
    m_target.seek(end, SeekOrigin::Beginning);
    finishPhase();
    // Without its total size the stream is still readable, but a record that
    // did not get written back leaves a damaged stream: say so.
    if (written != TCompressorHeader::kSize)
        fail("Write error, writing compression header");
}

void TCompressorStream::writeBlock(int length)
{
    std::uint8_t* in = m_inBuffer.get();
    std::uint8_t* out = m_outBuffer.get();
    int packed = 0;
    bool zlib = false;
    switch (m_method) {
    case cmLZRW1KH: packed = lzrwCompress(in, length, out); break;
    case cmZLIBfast:
        packed = zlibCompress(in, length, out, kBufferSize, zlibLevelValue(TZLibLevel::Fastest));
        zlib = true;
        break;
    case cmMix:
        packed = lzrwCompress(in, length, out);
        if (std::int64_t{packed} * 100 / length <= m_mixThreshold)
            break;
        [[fallthrough]];
    case cmNone:
    case cmZLIBmax:
        packed = zlibCompress(in, length, out, kBufferSize, zlibLevelValue(TZLibLevel::Max));
        zlib = true;
        break;
    }
    if (packed <= 0)
        fail("Write error, block write failure");
    if (zlib) {
        const std::uint8_t marker[2] = {0xFF, 0xFF};
        if (m_target.write(marker, 2) != 2)
            fail("Write error, writing ZLIB flag");
        m_raw += 2;
    }
    const std::uint8_t size[2] = {std::uint8_t(packed), std::uint8_t(packed >> 8)};
    if (m_target.write(size, 2) != 2)
        fail("Write error, writing block size");
    m_raw += 2;
    if (m_target.write(out, packed) != packed)
        fail("Write error, block write failure");
    m_raw += std::uint32_t(packed);
}

int TCompressorStream::readBlock()
{
    std::uint8_t two[2];
    if (m_target.read(two, 2) != 2)
        fail("Read error, reading block size");
    m_raw += 2;
    bool zlib = false;
    if (two[0] == 0xFF && two[1] == 0xFF) {
        if (m_target.read(two, 2) != 2)
            fail("Read error, reading ZLIB block size");
        m_raw += 2;
        zlib = true;
    }
    const int length = two[0] | two[1] << 8;
    if (length > kBufferSize)
        fail("Read error, block size invalid");
    if (m_target.read(m_inBuffer.get(), length) != length)
        fail("Read error, reading data block");
    m_raw += std::uint32_t(length);
    const int unpacked =
        zlib ? zlibDecompress(m_inBuffer.get(), length, m_outBuffer.get(), kBufferSize)
             : lzrwDecompress(m_inBuffer.get(), length, m_outBuffer.get(), kBlockSize);
    // Every block but the last holds a full 32768 bytes, the last one the
    // rest; anything shorter would leave the reader unable to go on.
    const std::int64_t expected =
        std::min<std::int64_t>(kBlockSize, m_header.originalSize - m_processed);
    if (unpacked < expected)
        fail("Read error, data block corrupt");
    return unpacked;
}

std::int64_t TCompressorStream::read(void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    if (!m_active)
        return m_target.read(buffer, count);
    if (m_writing)
        fail("Invalid operation, write pending");
    if (!m_reading)
        fail("Invalid operation, header not initialized");
    auto* to = static_cast<std::uint8_t*>(buffer);
    std::int64_t delivered = 0;
    while (delivered < count && m_processed < m_header.originalSize) {
        if (m_bufUsed == 0) {
            m_blockLen = readBlock();
            m_bufPos = 0;
        }
        const std::int64_t available = std::min(m_blockLen, kBlockSize) - m_bufUsed;
        const std::int64_t n = std::min({available, count - delivered,
                                         std::int64_t{m_header.originalSize - m_processed}});
        std::memcpy(to + delivered, m_outBuffer.get() + m_bufPos, static_cast<size_t>(n));
        delivered += n;
        m_bufPos += int(n);
        m_bufUsed += int(n);
        m_processed += std::uint32_t(n);
        if (m_bufUsed == kBlockSize) {
            m_bufUsed = 0;
            m_bufPos = 0;
        }
        fireProgress(2);
    }
    if (m_processed == m_header.originalSize)
        finishPhase();
    return delivered;
}

std::int64_t TCompressorStream::seek(std::int64_t offset, SeekOrigin origin)
{
    if (!m_active)
        return m_target.seek(offset, origin);
    if (offset != 0)
        fail("Invalid operation, read/write pending");
    if (m_writing)
        fail("Invalid operation, write pending");
    switch (origin) {
    case SeekOrigin::Beginning: return m_reading ? 0 : m_target.seek(0, SeekOrigin::Beginning);
    case SeekOrigin::Current: {
        // Inside an open read phase the record was read already; reading
        // another one from the middle of the blocks would wreck the phase.
        if (m_reading)
            return 0;
        const bool opened = readHeader();
        m_reading = opened;
        m_compressed = opened;
        m_bufPos = 0;
        return opened ? 0 : m_target.position();
    }
    case SeekOrigin::End:
        return m_reading ? std::int64_t{m_header.originalSize} : m_target.seek(0, SeekOrigin::End);
    }
    return 0;
}

} // namespace lystra
