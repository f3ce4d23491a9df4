// Writing ZIP archives for the installation medium: the vendor tool packs
// every payload file (or pack file) into an archive of one deflated entry,
// which the setup's own reader unpacks. Portable.
//
// The writer produces what the reader checks: a local header whose method,
// CRC, sizes and name agree with the central header (no data descriptor,
// flag bit 3 clear), a central directory and an end record on disk 0.
// Entries made on "MS-DOS" (version made by 0), so the external attributes
// hold the Windows file attribute bits the setup gives the extracted file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "fw/File.h"

// Windows file attribute bits used in the external attributes.
enum : uint32_t { kZipAttrReadOnly = 0x01, kZipAttrHidden = 0x02, kZipAttrSystem = 0x04, kZipAttrArchive = 0x20 };

struct ZipEntryHeader {
    std::string name;            // stored as given ('\\' is kept)
    uint32_t dosDateTime = 0;
    uint32_t externalAttributes = kZipAttrArchive;
    uint16_t method = 8;         // 0 stored, 8 deflated
};

// Writes one archive file. Usage: Create, then per entry BeginEntry /
// WriteData (the entry's data, compressed as its method says) / EndEntry,
// then Finish. Every failure of the file layer throws CFileException; sizes
// beyond 4 GiB (ZIP64) are refused with std::length_error.
class CZipWriter {
public:
    CZipWriter() = default;
    explicit CZipWriter(const std::string& path) { Create(path); }
    ~CZipWriter();  // an unfinished archive is closed as it stands
    CZipWriter(const CZipWriter&) = delete;
    CZipWriter& operator=(const CZipWriter&) = delete;

    void Create(const std::string& path);
    void BeginEntry(const ZipEntryHeader& header);
    void WriteData(const void* data, size_t size);
    // Completes the entry: the local header is rewritten with the CRC-32 and
    // the sizes, which the caller computed while producing the data.
    void EndEntry(uint32_t crc32, uint64_t uncompressedSize);
    // Writes the central directory and the end record and closes the file.
    // Returns the archive's size in bytes.
    uint64_t Finish();

    const std::string& Path() const { return file_.GetFilePath(); }

private:
    struct Entry {
        ZipEntryHeader header;
        uint32_t crc = 0;
        uint32_t compressedSize = 0;
        uint32_t uncompressedSize = 0;
        uint32_t localOffset = 0;
    };
    void WriteLocalHeader(const Entry& e);
    CFile file_;
    std::vector<Entry> entries_;
    uint64_t position_ = 0;
    uint64_t dataStart_ = 0;
    bool inEntry_ = false;
};
