// The framework's file object: one open file, read and written with plain
// system calls (no buffering of its own). Portable: Win32 on Windows, POSIX
// elsewhere. Every failure throws CFileException with the system's error
// code and the path.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "fw/Exception.h"

// Owner of a C stream, closed without looking at the result; where a failed
// close means a failed write, close it by hand: std::fclose(f.release()).
struct StdioCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using UniqueStdioFile = std::unique_ptr<std::FILE, StdioCloser>;

// A wall-clock time in the local time zone, as MS-DOS times in archives are.
struct LocalTime {
    int year = 1980;   // full year
    int month = 1;     // 1..12
    int day = 1;       // 1..31
    int hour = 0;      // 0..23
    int minute = 0;    // 0..59
    int second = 0;    // 0..59
};

// The folder part of a path, without the separator that ends it ("C:\\a"
// for "C:\\a\\b.txt", "" for a bare name); either separator counts.
std::string FolderOf(const std::string& path);

class CFile {
public:
    enum : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareDenyWrite = 0x0020,  // others may read but not write while open
        modeCreate = 0x1000,      // create, or truncate an existing file
    };
    enum SeekFrom { begin = 0, current = 1, end = 2 };

    CFile() = default;
    CFile(const char* path, unsigned flags) { Open(path, flags); }
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&& other) noexcept;

    void Open(const char* path, unsigned flags);  // throws CFileException
    // Creates a new, empty file in the folder of `target`, under a name that
    // no file there has, and opens it for writing; returns its path. Meant
    // for writing a file completely before it takes the place of `target`
    // (MoveOver), which a rename within one folder can do at once.
    const std::string& CreateBeside(const std::string& target);  // throws CFileException
    bool IsOpen() const;
    const std::string& GetFilePath() const { return path_; }

    // Reads up to count bytes; returns the number read, 0 at the end.
    unsigned Read(void* buffer, unsigned count);
    // Writes all count bytes or throws.
    void Write(const void* buffer, unsigned count);
    uint64_t Seek(int64_t offset, SeekFrom from);
    uint64_t GetLength() const;
    void Close();         // throws when the system reports a failure
    void Abort() noexcept;  // closes, ignoring any failure

    // Gives a (closed) file its last-write time, in local time. With
    // stampNow its creation and last-access times become the present time
    // (the time the file was written); otherwise they are kept. Throws
    // CFileException(setStatus) when the system refuses.
    static void SetModifiedTime(const std::string& path, const LocalTime& t, bool stampNow = false);
    // Windows refuses to overwrite, or to replace by a rename, a file that
    // is read-only, hidden or system, as an earlier installation or the
    // user may have left it. Clears those attributes of an existing file
    // and returns the attributes it had, or 0 when it is missing or had
    // none of them; a caller whose replacement then fails gives them back
    // with SetAttributes. Elsewhere it gives a file without write
    // permission its owner's write permission back (and returns 1).
    static uint32_t ClearForReplace(const std::string& path);
    // Puts the closed file `from` in the place of `to`, replacing a file
    // there whatever its attributes (see ClearForReplace). On failure
    // CFileException(replace) is thrown, `from` stays and `to` is left as
    // it was (except on the Windows 95 family, which cannot replace in one
    // rename: there the old file is removed first).
    static void MoveOver(const std::string& from, const std::string& to);
    // Gives a file its attributes (FILE_ATTRIBUTE_* bits). On Windows these
    // are set as they are; elsewhere only the read-only bit (1) has a
    // meaning and becomes the absence of write permission. Returns false on
    // failure.
    static bool SetAttributes(const std::string& path, uint32_t attributes);
    // Reads a file's last-write time in local time; false if it is missing.
    static bool GetModifiedTime(const std::string& path, LocalTime& t);
    // Whether two paths name one existing file of one volume, however they
    // are spelt.
    static bool IsSameFile(const std::string& a, const std::string& b);
    // Whether another program holds the existing file open so that it may
    // not be written (Windows' sharing rules; never elsewhere).
    static bool IsHeldOpen(const std::string& path);
    // Removes the files that CreateBeside names ("~st" and five hexadecimal
    // digits, ".tmp") from a folder: what a run that was ended abruptly
    // left behind. Returns how many were removed.
    static int RemoveLeftTemporaries(const std::string& folder);
    // Makes a folder the process's current folder; false on failure.
    static bool SetCurrentFolder(const std::string& folder);
    // Whether a name has the form of CreateBeside's names.
    static bool IsTemporaryName(const std::string& name);

private:
    [[noreturn]] void Fail(CFileException::Operation op) const;
#ifdef _WIN32
    void* handle_ = nullptr;  // HANDLE; nullptr when closed
#else
    int fd_ = -1;
#endif
    std::string path_;
};
