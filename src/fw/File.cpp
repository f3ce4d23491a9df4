#include "fw/File.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <memory>
#include <utility>

#ifdef _WIN32
#include <windows.h>

#include "fw/Handles.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#endif

CFile::~CFile() { Abort(); }

std::string FolderOf(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return std::string();
    return path.substr(0, cut == 0 ? 1 : cut);
}

namespace {

// Candidate names for CFile::CreateBeside: short enough for 8.3 file
// systems, and different from one call (and process) to the next.
std::string TempName(const std::string& folder, unsigned seed, unsigned attempt) {
    static unsigned counter = 0;
    // "~stXXXXX.tmp" with five hexadecimal digits, written by hand: a
    // formatting call would bring the C library's whole printf into setup.exe.
    const unsigned value = (seed + 7919u * attempt + counter++) & 0xFFFFFu;
    std::string name = "~st00000.tmp";
    for (int i = 0; i < 5; ++i) name[7 - i] = "0123456789abcdef"[(value >> (4 * i)) & 15];
    return folder + name;
}

// The folder with a separator at its end, so that a name can follow.
std::string WithSeparator(const std::string& folder) {
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder;
#ifdef _WIN32
    return folder + "\\";
#else
    return folder + "/";
#endif
}

}  // namespace

bool CFile::IsTemporaryName(const std::string& name) {
    if (name.size() != 12 || name.compare(0, 3, "~st") != 0 || name.compare(8, 4, ".tmp") != 0) return false;
    for (size_t i = 3; i < 8; ++i)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'f'))) return false;
    return true;
}

CFile::CFile(CFile&& other) noexcept { *this = std::move(other); }

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        Abort();
#ifdef _WIN32
        handle_ = std::exchange(other.handle_, nullptr);
#else
        fd_ = std::exchange(other.fd_, -1);
#endif
        path_ = std::move(other.path_);
    }
    return *this;
}

#ifdef _WIN32

void CFile::Fail(CFileException::Operation op) const {
    throw CFileException(op, static_cast<int>(GetLastError()), path_);
}

void CFile::Open(const char* path, unsigned flags) {
    Abort();
    path_ = path ? path : "";
    DWORD access = GENERIC_READ;
    if (flags & modeWrite) access = GENERIC_WRITE;
    if (flags & modeReadWrite) access = GENERIC_READ | GENERIC_WRITE;
    DWORD share = (flags & shareDenyWrite) ? FILE_SHARE_READ : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    DWORD disposition = (flags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;
    HANDLE h = CreateFileA(path_.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) Fail(CFileException::open);
    handle_ = h;
}

const std::string& CFile::CreateBeside(const std::string& target) {
    Abort();
    const std::string folder = WithSeparator(FolderOf(target));
    const unsigned seed = static_cast<unsigned>(GetCurrentProcessId() * 31u + GetTickCount());
    for (unsigned attempt = 0;; ++attempt) {
        path_ = TempName(folder, seed, attempt);
        HANDLE h = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = h;
            return path_;
        }
        const DWORD err = GetLastError();
        if ((err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) || attempt == 100) Fail(CFileException::open);
    }
}

bool CFile::IsOpen() const { return handle_ != nullptr; }

unsigned CFile::Read(void* buffer, unsigned count) {
    DWORD got = 0;
    if (count == 0) return 0;
    if (!ReadFile(static_cast<HANDLE>(handle_), buffer, count, &got, nullptr)) Fail(CFileException::read);
    return got;
}

void CFile::Write(const void* buffer, unsigned count) {
    const char* p = static_cast<const char*>(buffer);
    while (count > 0) {
        DWORD put = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), p, count, &put, nullptr) || put == 0)
            Fail(CFileException::write);
        p += put;
        count -= put;
    }
}

// SetFilePointer and GetFileSize with their high halves rather than the
// LARGE_INTEGER forms, which Windows 98 and NT 4.0 lack. A low half of
// 0xFFFFFFFF is an error only when GetLastError says so.
namespace {

bool MoveFilePointer(void* handle, int64_t offset, DWORD method, uint64_t& pos) {
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(static_cast<HANDLE>(handle), static_cast<LONG>(offset & 0xFFFFFFFF), &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
    pos = static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32 | low;
    return true;
}

}  // namespace

uint64_t CFile::Seek(int64_t offset, SeekFrom from) {
    uint64_t pos = 0;
    if (!MoveFilePointer(handle_, offset, static_cast<DWORD>(from), pos)) Fail(CFileException::seek);
    return pos;
}

uint64_t CFile::GetLength() const {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(static_cast<HANDLE>(handle_), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) Fail(CFileException::seek);
    return static_cast<uint64_t>(high) << 32 | low;
}

void CFile::Close() {
    if (!handle_) return;
    HANDLE h = static_cast<HANDLE>(std::exchange(handle_, nullptr));
    if (!CloseHandle(h)) Fail(CFileException::close);
}

void CFile::Abort() noexcept {
    if (handle_) CloseHandle(static_cast<HANDLE>(std::exchange(handle_, nullptr)));
}

void CFile::SetModifiedTime(const std::string& path, const LocalTime& t, bool stampNow) {
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    FILETIME local, utc;
    if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc))
        throw CFileException(CFileException::setStatus, ERROR_INVALID_PARAMETER, path);
    UniqueFileHandle h(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h) throw CFileException(CFileException::setStatus, static_cast<int>(GetLastError()), path);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const BOOL ok = stampNow ? SetFileTime(h.Get(), &now, &now, &utc) : SetFileTime(h.Get(), nullptr, nullptr, &utc);
    if (!ok) throw CFileException(CFileException::setStatus, static_cast<int>(GetLastError()), path);
}

bool CFile::SetAttributes(const std::string& path, uint32_t attributes) {
    return SetFileAttributesA(path.c_str(), attributes) != 0;
}

uint32_t CFile::ClearForReplace(const std::string& path) {
    constexpr DWORD kRefused = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) || !(attributes & kRefused))
        return 0;
    if (!SetFileAttributesA(path.c_str(), attributes & ~kRefused)) return 0;
    return attributes;
}

void CFile::MoveOver(const std::string& from, const std::string& to) {
    const uint32_t old = ClearForReplace(to);
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
    DWORD err = GetLastError();
    if (err == ERROR_CALL_NOT_IMPLEMENTED) {
        // The Windows 95 family has no MoveFileEx: remove the old file, then
        // rename the new one.
        if ((DeleteFileA(to.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) && MoveFileA(from.c_str(), to.c_str()))
            return;
        err = GetLastError();
    }
    if (old) SetAttributes(to, old);
    throw CFileException(CFileException::replace, static_cast<int>(err), to);
}

bool CFile::GetModifiedTime(const std::string& path, LocalTime& t) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &st)) return false;
    t = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
    return true;
}

bool CFile::IsSameFile(const std::string& a, const std::string& b) {
    auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        UniqueFileHandle h(::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                         nullptr));
        return h && ::GetFileInformationByHandle(h.Get(), &info) != FALSE;
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return identity(a, ia) && identity(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

// Writing needs a share mode that a program holding the file open without
// sharing (or a running program's image) does not grant.
bool CFile::IsHeldOpen(const std::string& path) {
    UniqueFileHandle h(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h) return false;
    const DWORD err = GetLastError();
    return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION;
}

int CFile::RemoveLeftTemporaries(const std::string& folder) {
    const std::string base = WithSeparator(folder);
    WIN32_FIND_DATAA found;
    UniqueFindHandle find(FindFirstFileA((base + "~st*.tmp").c_str(), &found));
    if (!find) return 0;
    int removed = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsTemporaryName(found.cFileName) &&
            DeleteFileA((base + found.cFileName).c_str()))
            ++removed;
    } while (FindNextFileA(find.Get(), &found));
    return removed;
}

bool CFile::SetCurrentFolder(const std::string& folder) { return SetCurrentDirectoryA(folder.c_str()) != 0; }

#else  // POSIX

void CFile::Fail(CFileException::Operation op) const { throw CFileException(op, errno, path_); }

void CFile::Open(const char* path, unsigned flags) {
    Abort();
    path_ = path ? path : "";
    int oflags = O_RDONLY;
    if (flags & modeWrite) oflags = O_WRONLY;
    if (flags & modeReadWrite) oflags = O_RDWR;
    if (flags & modeCreate) oflags |= O_CREAT | O_TRUNC;
    int fd = ::open(path_.c_str(), oflags | O_CLOEXEC, 0666);
    if (fd < 0) Fail(CFileException::open);
    fd_ = fd;
}

const std::string& CFile::CreateBeside(const std::string& target) {
    Abort();
    const std::string folder = WithSeparator(FolderOf(target));
    const unsigned seed = static_cast<unsigned>(getpid()) * 31u + static_cast<unsigned>(time(nullptr));
    for (unsigned attempt = 0;; ++attempt) {
        path_ = TempName(folder, seed, attempt);
        int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            return path_;
        }
        if (errno != EEXIST || attempt == 100) Fail(CFileException::open);
    }
}

bool CFile::IsOpen() const { return fd_ >= 0; }

unsigned CFile::Read(void* buffer, unsigned count) {
    if (count == 0) return 0;
    for (;;) {
        ssize_t n = ::read(fd_, buffer, count);
        if (n >= 0) return static_cast<unsigned>(n);
        if (errno != EINTR) Fail(CFileException::read);
    }
}

void CFile::Write(const void* buffer, unsigned count) {
    const char* p = static_cast<const char*>(buffer);
    while (count > 0) {
        ssize_t n = ::write(fd_, p, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(CFileException::write);
        p += n;
        count -= static_cast<unsigned>(n);
    }
}

uint64_t CFile::Seek(int64_t offset, SeekFrom from) {
    int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (pos < 0) Fail(CFileException::seek);
    return static_cast<uint64_t>(pos);
}

uint64_t CFile::GetLength() const {
    struct stat st;
    if (::fstat(fd_, &st) != 0) Fail(CFileException::seek);
    return static_cast<uint64_t>(st.st_size);
}

void CFile::Close() {
    if (fd_ < 0) return;
    int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) Fail(CFileException::close);
}

void CFile::Abort() noexcept {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

void CFile::SetModifiedTime(const std::string& path, const LocalTime& t, bool stampNow) {
    struct tm tm = {};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    time_t when = mktime(&tm);
    // There is no creation time to set here; the access time stands in.
    struct timeval tv[2] = {{when, 0}, {when, 0}};
    if (stampNow) ::gettimeofday(&tv[0], nullptr);
    if (::utimes(path.c_str(), tv) != 0) throw CFileException(CFileException::setStatus, errno, path);
}

bool CFile::SetAttributes(const std::string& path, uint32_t attributes) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes & 1) mode &= ~static_cast<mode_t>(0222);
    else mode |= S_IWUSR;
    return ::chmod(path.c_str(), mode) == 0;
}

uint32_t CFile::ClearForReplace(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR)) return 0;
    return ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0 ? 1u : 0u;
}

void CFile::MoveOver(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) throw CFileException(CFileException::replace, errno, to);
}

bool CFile::GetModifiedTime(const std::string& path, LocalTime& t) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    struct tm tm;
    time_t when = st.st_mtime;
    if (!localtime_r(&when, &tm)) return false;
    t = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    return true;
}

bool CFile::IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool CFile::IsHeldOpen(const std::string&) { return false; }

int CFile::RemoveLeftTemporaries(const std::string& folder) {
    const std::string base = WithSeparator(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(base.empty() ? "." : base.c_str()), ::closedir);
    if (!dir) return 0;
    int removed = 0;
    while (const dirent* e = ::readdir(dir.get()))
        if (IsTemporaryName(e->d_name) && ::unlink((base + e->d_name).c_str()) == 0) ++removed;
    return removed;
}

bool CFile::SetCurrentFolder(const std::string& folder) { return ::chdir(folder.c_str()) == 0; }

#endif
