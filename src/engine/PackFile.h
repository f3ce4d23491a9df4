// The setup's pack file: a plain concatenation of files, each with its name,
// length and modification time. Portable (stdio streams and CFile); setup.exe's
// pack phase reads it, the vendor tool writes it (setupkit/lib/PackWriter.h).
//
// Layout, little-endian:
//   offset 0, 2 bytes  not used (written as 0)
//   offset 2, 2 bytes  record count, signed 16-bit (progress display only)
//   offset 4           records up to the end of the file, each:
//       name       1 to 79 bytes and a terminating zero (at most 80 bytes),
//                  a path relative to the destination folder, '\' separated
//       length     4 bytes, unsigned
//       time       4 bytes, MS-DOS date in the high half, time in the low half
//       data       length bytes
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fw/Exception.h"
#include "fw/File.h"

namespace pack {

inline constexpr unsigned kHeaderSize = 4;
inline constexpr unsigned kNameBufferSize = 80;  // name bytes and the terminating zero
inline constexpr unsigned kMaxNameLength = kNameBufferSize - 1;
inline constexpr unsigned kStreamBufferSize = 1024;
inline constexpr int kMaxRecords = 32767;  // the header's count is signed 16-bit

// MS-DOS time (date << 16 | time) to a local wall-clock time, read as a ZIP
// header's time is: seconds are stored halved (the field 29 gives 58), and
// values no calendar has are brought to the nearest valid one.
LocalTime DosTimeToLocal(uint32_t dosDateTime);

}  // namespace pack

// One record's fixed part, read before its data.
struct PackRecordInfo {
    char name[pack::kNameBufferSize] = {};  // always zero-terminated
    uint32_t length = 0;
    uint32_t dosTime = 0;
};

// Reads a pack through a stdio stream with a caller-supplied stream buffer
// (full buffering), the way the pack phase reads it. Never reads past the
// end of the file and never writes past a buffer.
class CPackReader {
public:
    enum Status {
        record,         // a complete record header was read; its data follows
        end,            // the pack ended cleanly before a new record
        truncated,      // the pack ends inside its header or inside a record
        nameTooLong,    // no terminating zero within 80 bytes
    };

    CPackReader() = default;
    ~CPackReader() { Close(); }
    CPackReader(const CPackReader&) = delete;
    CPackReader& operator=(const CPackReader&) = delete;

    // Opens path "rb". The buffer (may be null: the library's own) becomes
    // the stream's buffer. False when the file cannot be opened.
    bool Open(const char* path, char* buffer = nullptr, size_t bufferSize = 0);
    // Takes an open stream (tests, fuzzing); the reader closes it.
    bool Attach(FILE* stream);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    // Reads the 4-byte header and returns its record count (signed 16-bit;
    // 0 when the file is shorter than the header, which the first
    // ReadRecordHeader then reports as truncated).
    int ReadHeader();

    // Reads the next record's name, length and time. For `record` the data
    // is known to lie within the file.
    Status ReadRecordHeader(PackRecordInfo& info);
    // Copies the current record's data (length bytes) to out in blocks.
    // False when the pack or the output failed; `outputFailed` tells which.
    bool CopyData(FILE* out, uint32_t length, bool* outputFailed = nullptr);
    bool SkipData(uint32_t length);
    // Puts the reader back to the start of the record last read, so that
    // the same record is read again.
    bool RewindRecord();

    uint64_t Size() const { return size_; }
    uint64_t RecordStart() const { return recordStart_; }

private:
    bool Seek(uint64_t pos);
    uint64_t Tell();

    FILE* file_ = nullptr;
    std::vector<char> block_;  // CopyData's block, allocated on first use
    uint64_t size_ = 0;
    uint64_t recordStart_ = pack::kHeaderSize;
    bool headerShort_ = false;
};
