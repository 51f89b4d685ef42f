#pragma once

#include "imaging/tstream.h"
#include "platform/exception.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace lystra {

// How a bitmap stream is compressed; the ordinals are stored in form files.
enum TCompressionLevel : int {
    cmNone = 0,
    cmLZRW1KH = 1,
    cmZLIBfast = 2,
    cmZLIBmax = 3,
    cmMix = 4,
};

// Every failure of the compressed stream; the message is the exact text.
class ECompressorException : public Exception {
public:
    using Exception::Exception;
};

// The 20-byte information record in front of a compressed stream,
// little-endian: record size (20), method tag ("CMPF", "CMPH", "CMMH",
// "CXIM"), uncompressed size, 256, 0, and the total size of the compressed
// stream including this record (during a write: the target position at which
// the record was written).
struct TCompressorHeader {
    std::uint32_t recordSize = 0;
    std::array<char, 4> tag{};
    std::uint32_t originalSize = 0;
    std::uint16_t version = 0;
    std::uint16_t reserved = 0;
    std::uint32_t totalSize = 0;

    static constexpr int kSize = 20;
    std::array<std::uint8_t, kSize> toBytes() const;
    static TCompressorHeader fromBytes(const std::uint8_t* bytes);
    bool operator==(const TCompressorHeader&) const = default;
};

// A stream on a target stream (borrowed; it must outlive this one). Switched
// off it passes everything straight through. Switched on it writes and reads
// the compressed block format: the information record, then blocks of 32768
// uncompressed bytes (the last one holds the rest), each "length, LZRW1/KH
// data" or "0xFFFF, length, zlib stream".
//
// A write phase is opened by setSize(uncompressed size) and ends by itself
// when that many bytes were written; the record is then rewritten with the
// total size (the target must be seekable). A read phase is opened by a size
// query (or seek(0, Current)) that finds a valid record, and ends when the
// last uncompressed byte was delivered. Data without a valid record reads as
// plain data. Damaged blocks end in ECompressorException (EZLibError for a
// zlib failure); nothing is read or written outside the block buffers.
class TCompressorStream : public TStream {
public:
    // Stages: 1 phase started, 2 data moved, 3 phase ending, 0 phase ended.
    using ProgressEvent = std::function<void(TCompressorStream& sender, int stage, int percent)>;

    static constexpr int kBlockSize = 32768;
    static constexpr int kBufferSize = 0x8100;

    explicit TCompressorStream(TStream& target);
    // Frees the buffers; an open phase is not finished.
    ~TCompressorStream() override;

    std::int64_t read(void* buffer, std::int64_t count) override;
    std::int64_t write(const void* buffer, std::int64_t count) override;
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;
    void setSize(std::int64_t newSize) override;

    bool active() const { return m_active; }
    void setActive(bool active);
    TCompressionLevel method() const { return m_method; }
    void setMethod(TCompressionLevel method) { m_method = method; }
    // Per cent: with cmMix a block stays LZRW1/KH when its compressed length
    // times 100 div its length is at most this; otherwise it goes to zlib.
    int mixThreshold() const { return m_mixThreshold; }
    void setMixThreshold(int percent) { m_mixThreshold = percent; }
    void setOnProgress(ProgressEvent handler) { m_onProgress = std::move(handler); }

    const TCompressorHeader& header() const { return m_header; }
    bool reading() const { return m_reading; }
    bool writing() const { return m_writing; }
    bool compressed() const { return m_compressed; }
    std::uint32_t processed() const { return m_processed; }
    std::uint32_t raw() const { return m_raw; }

private:
    bool readHeader();
    void startBuffers();
    void finishPhase();
    int readBlock();
    void writeBlock(int length);
    void writeRecordBack();
    void fireProgress(int stage);
    [[noreturn]] static void fail(const char* message);

    TStream& m_target;
    TCompressorHeader m_header;
    TCompressionLevel m_method = cmZLIBmax;
    int m_mixThreshold = 15;
    bool m_active = false;
    bool m_reading = false;
    bool m_writing = false;
    bool m_compressed = false;
    std::uint32_t m_processed = 0;
    std::uint32_t m_raw = 0;
    int m_bufPos = 0;
    int m_bufUsed = 0;
    int m_blockLen = 0;
    ProgressEvent m_onProgress;
    std::unique_ptr<std::uint8_t[]> m_inBuffer;
    std::unique_ptr<std::uint8_t[]> m_outBuffer;
};

} // namespace lystra
