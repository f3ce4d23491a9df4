// Writing the setup's pack files (layout in engine/PackFile.h): the one
// encoding of the header and of a record's fixed part, used by the pack
// writer and by the medium builder, which streams packs straight into its
// compressor.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/PackFile.h"

namespace pack {

// Local wall-clock time to MS-DOS time (date << 16 | time); years outside
// 1980..2107 are clamped, odd seconds round down.
uint32_t LocalToDosTime(const LocalTime& t);
// The 4-byte header: two unused zero bytes, then the record count.
std::string EncodeHeader(int count);
// A record's fixed part: the stored name and its zero, length, time.
std::string EncodeRecordHeader(const std::string& storedName, uint32_t length, uint32_t dosTime);

}  // namespace pack

// A pack file that cannot be written, or a record that cannot be added.
class CPackException : public CException {
public:
    explicit CPackException(std::string message) : message_(std::move(message)) {}
    std::string GetErrorMessage() const override { return message_; }

private:
    std::string message_;
};

// Writes a pack. Records are checked as the pack phase will use them: a
// name of 1 to 79 bytes that stays inside the destination folder, at most
// 32767 records, data below 4 GiB. Every failure throws (CFileException for
// the file system, CPackException for a record the format cannot hold).
class CPackWriter {
public:
    // Creates (or truncates) the pack file.
    explicit CPackWriter(const std::string& path);
    // A pack that was not finished is removed: a partial pack is never left
    // looking complete.
    ~CPackWriter();
    CPackWriter(const CPackWriter&) = delete;
    CPackWriter& operator=(const CPackWriter&) = delete;

    // Adds a record with the data of the file at sourcePath. The stored name
    // uses '\' as separator ('/' is converted).
    void AddFile(const std::string& storedName, const std::string& sourcePath, uint32_t dosTime);
    void AddData(const std::string& storedName, const void* data, uint32_t size, uint32_t dosTime);
    int Count() const { return count_; }
    // Writes the count into the header and closes the file.
    void Finish();

    // The name as it will be stored ('/' turned into '\'), or throws
    // CPackException when the format cannot hold it or it is unsafe.
    static std::string CheckedName(const std::string& name);

private:
    void BeginRecord(const std::string& storedName, uint32_t size, uint32_t dosTime);
    void Put(const void* data, size_t size);
    void Flush();

    CFile file_;
    std::string path_;
    std::vector<char> buffer_;
    size_t used_ = 0;
    int count_ = 0;
    bool finished_ = false;
};

// Packs every regular file below dir (sorted, names relative to dir with
// '\' separators, the files' own modification times). Returns the stored
// names in pack order. The folders that these names need must exist on the
// target: the pack phase creates none. `folders`, when given, receives the
// subfolders that the names use.
std::vector<std::string> PackDirectory(const std::string& packPath, const std::string& dir,
                                       std::vector<std::string>* folders = nullptr);
