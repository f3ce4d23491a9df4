// Reader of single-volume ZIP archives (stored and deflated entries) on the
// framework's file object. It walks the central directory one entry at a
// time, checks each local header against its central header, delivers an
// entry's data uncompressed, verifies its CRC-32 and gives an extracted file
// the entry's time and attributes.
//
// Every error that the reader detects itself is thrown as CZipException;
// a failure to open the archive file is thrown as CFileException (system
// error and path). The reader never reads outside the archive file and
// stays usable for destruction after any throw.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fw/Exception.h"
#include "fw/File.h"

// The record signatures and fixed header sizes of the ZIP format, shared by
// this reader and the vendor tool's writer.
namespace zipformat {
inline constexpr uint32_t kLocalSignature = 0x04034b50;    // "PK\3\4"
inline constexpr uint32_t kCentralSignature = 0x02014b50;  // "PK\1\2"
inline constexpr uint32_t kEndSignature = 0x06054b50;      // "PK\5\6"
inline constexpr unsigned kLocalHeaderSize = 30;
inline constexpr unsigned kCentralHeaderSize = 46;
inline constexpr unsigned kEndRecordSize = 22;
}  // namespace zipformat

// What went wrong, as carried by CZipException::cause. The values are the
// reader's cause numbers; causes 2 to 9 are zlib's return codes mapped by
// ZipCauseOfZlibCode (2 and 3 are mapped but never raised: zlib's end of
// stream ends a read, and a dictionary request is let pass).
enum class ZipCause : int {
    otherError = 1,             // any zlib code not listed below
    inflateStreamEnd = 2,       // zlib Z_STREAM_END
    inflateNeedDictionary = 3,  // zlib Z_NEED_DICT
    systemError = 4,            // zlib Z_ERRNO
    inflateStreamError = 5,     // zlib Z_STREAM_ERROR
    inflateDataError = 6,       // zlib Z_DATA_ERROR: corrupt deflate data
    outOfMemory = 7,            // zlib Z_MEM_ERROR
    inflateBufferError = 8,     // zlib Z_BUF_ERROR: deflate data ends too early
    inflateVersionError = 9,    // zlib Z_VERSION_ERROR
    badArgument = 10,           // an operation called out of order
    badArchive = 11,            // a structural check failed
    checksumMismatch = 12,      // CRC-32 (or length) of a read entry is wrong
};

// The cause that a zlib return code stands for.
ZipCause ZipCauseOfZlibCode(int zlibCode);
// The cause's name as written in code ("badArchive") and a plain sentence
// for messages of the vendor tool.
const char* ZipCauseName(ZipCause cause);
const char* ZipCauseText(ZipCause cause);

// The reader's exception. The user sees it as "Internal application error."
// when it reaches a dialog; the cause and the archive's path are for callers
// and tools that report more.
class CZipException : public CException {
public:
    CZipException(ZipCause cause, std::string archivePath, unsigned char kindFlag = 0);
    std::string GetErrorMessage() const override;

    unsigned char kindFlag;   // kindFlag of the object that threw it
    std::string archivePath;  // path of the open archive; empty if none was open
    ZipCause cause;
};

// One central directory header; 16-bit fields widened to 32 bits.
struct ZipEntryInfo {
    uint32_t versionMadeBy = 0;
    uint32_t versionNeeded = 0;
    uint32_t flags = 0;
    uint32_t method = 0;
    uint32_t dosDateTime = 0;  // MS-DOS time in the low half, date in the high half
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint32_t nameLength = 0;
    uint32_t extraLength = 0;
    uint32_t entryCommentLength = 0;
    uint32_t diskNumberStart = 0;
    uint32_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    LocalTime modified;  // dosDateTime as a local time (see DosDateTimeToLocal)
};

// Converts an MS-DOS date and time (date in the high 16 bits) into a local
// time: year 1980 + date>>9, month, day, hour, minute, 2 x the seconds field.
// Values no calendar has (month 0 or 13, day 0 or 31 in a short month, hour
// 24 and more, second 60 and 62) are brought to the nearest valid value so
// that setting a file's time never fails on them.
LocalTime DosDateTimeToLocal(uint32_t dosDateTime);

struct ZipEntryStream;  // an open entry's input buffer and inflater

// Where the reader stands in the archive.
struct ZipCursor {
    CFile file;                     // read-only, deny-write
    uint32_t entryCount = 0;        // entries in the archive (16-bit in the file)
    uint32_t bytesBefore = 0;       // bytes in front of the archive proper (a stub)
    uint32_t entryIndex = 0;        // 0-based index of the current entry
    uint32_t entryDirPos = 0;       // relative offset of the current central header
    bool entryValid = false;        // the current central header has been read
    uint32_t endRecordPos = 0;      // absolute offset of the end record
    uint32_t dirSize = 0;           // size of the central directory
    uint32_t dirOffset = 0;         // relative offset of the central directory
    ZipEntryInfo entryInfo;         // the current entry's central header
    uint32_t entryLocalOffset = 0;  // relative offset of its local header
    std::unique_ptr<ZipEntryStream> stream;  // none while no entry is open
    uint64_t fileLength = 0;        // length of the archive file
};

class CZipUnpacker {
public:
    CZipUnpacker();
    explicit CZipUnpacker(const char* path);  // opens the archive at once
    explicit CZipUnpacker(const std::string& path) : CZipUnpacker(path.c_str()) {}
    // Releases an open entry (its inflater included) without a CRC check and
    // closes the archive.
    ~CZipUnpacker();
    CZipUnpacker(const CZipUnpacker&) = delete;
    CZipUnpacker& operator=(const CZipUnpacker&) = delete;

    // Throws CZipException with the open archive's path (empty when none is
    // open).
    [[noreturn]] void ThrowZipError(ZipCause cause) const;

    // Opens the archive read-only with deny-write sharing, reads the end
    // record and makes entry 0 current. Does nothing when an archive is
    // already open. Throws CFileException when the file cannot be opened and
    // CZipException(badArchive) when the archive is not one this reader takes.
    void OpenArchive(const char* path);
    bool IsArchiveOpen() const { return cursor_.file.IsOpen(); }
    uint32_t GetEntryCount() const { return cursor_.entryCount; }
    uint32_t GetBytesBefore() const { return cursor_.bytesBefore; }
    // The current entry's central header and its stored name.
    ZipEntryInfo CurrentEntry(std::string* name);

    // Makes entry 0 current.
    void GoToFirstEntry();
    // Makes the next entry current; false when there is none (the current
    // one stays current).
    bool GoToNextEntry();
    // Re-reads the current central header into *info (when given) and, when
    // nameBuffer is given, copies min(name length, bufferSize) bytes of the
    // stored name into it, followed by a zero when the name is shorter than
    // the buffer. The cursor does not move.
    void GetCurrentEntryInfo(ZipEntryInfo* info, char* nameBuffer, unsigned bufferSize);

    // Prepares the current entry for reading (closing an entry still open,
    // with its check). Throws badArgument without a current entry and
    // badArchive when the local header disagrees with the central one or the
    // method is neither stored (0) nor deflated (8).
    void OpenCurrentEntry();
    // Places up to size uncompressed bytes into buffer and returns how many;
    // fewer than size when the entry ends in this call, 0 once it has ended
    // (or for no buffer or size 0). Throws badArgument without an open entry.
    unsigned ReadCurrentEntry(void* buffer, unsigned size);
    // Checks the CRC-32 of an entry read to its end (checksumMismatch) and
    // releases the entry. An entry read only in part closes without a check.
    // Does nothing when no entry is open.
    void CloseCurrentEntry();

    // Closes output (a file the caller has written) and gives the file on
    // disk the entry's last-write time and attributes; its creation and
    // last-access times become the present time.
    void ApplyEntryStatus(CFile& output, const ZipEntryInfo& info);
    // The same for a closed file named by its path.
    static void ApplyEntryStatus(const std::string& path, const ZipEntryInfo& info);

    // Closes an open entry (with its check) and the archive file. Does
    // nothing when no archive is open.
    void CloseArchive();

private:
    uint64_t FindEndRecord();
    void ReadCentralHeader(ZipEntryInfo& info, uint32_t* localOffset, char* nameBuffer, unsigned bufferSize);
    void ReadExact(uint64_t absolutePos, void* buffer, unsigned count);
    void ReleaseStream() noexcept;

    ZipCursor cursor_;
};
