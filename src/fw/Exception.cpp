#include "fw/Exception.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

const char* CException::what() const noexcept {
    try {
        whatText_ = GetErrorMessage();
    } catch (...) {
        return "exception";
    }
    return whatText_.c_str();
}

CFileException::CFileException(Operation op, int err, std::string p)
    : operation(op), osError(err), path(std::move(p)) {}

std::string CFileException::GetErrorMessage() const {
    const char* verb = "accessing";
    switch (operation) {
    case open: verb = "opening"; break;
    case read: verb = "reading"; break;
    case write: verb = "writing"; break;
    case seek: verb = "seeking in"; break;
    case close: verb = "closing"; break;
    case setStatus: verb = "setting the time or attributes of"; break;
    case replace: verb = "replacing"; break;
    }
    std::string text = "An error occurred while ";
    text += verb;
    text += " the file ";
    text += path;
    text += ". ";
    text += SystemErrorText(osError);
    return text;
}

std::string SystemErrorText(int osError) {
#ifdef _WIN32
    char buf[512] = {0};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(osError), 0, buf, sizeof buf, nullptr);
    while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == ' ')) buf[--n] = 0;
    if (n == 0) return "System error " + std::to_string(osError) + ".";
    return buf;
#else
    return std::string(std::strerror(osError)) + ".";
#endif
}

FileFault FileFaultOf(int osError) {
#ifdef _WIN32
    switch (osError) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return FileFault::diskFull;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return FileFault::inUse;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return FileFault::accessDenied;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return FileFault::notFound;
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE: return FileFault::notReady;
    }
#else
    switch (osError) {
    case ENOSPC:
    case EDQUOT: return FileFault::diskFull;
    case ETXTBSY:
    case EBUSY: return FileFault::inUse;
    case EACCES:
    case EPERM:
    case EROFS: return FileFault::accessDenied;
    case ENOENT:
    case ENOTDIR: return FileFault::notFound;
    case EIO:
    case ENXIO:
    case ENOMEDIUM: return FileFault::notReady;
    }
#endif
    return FileFault::other;
}

int LastSystemError() {
#ifdef _WIN32
    return static_cast<int>(GetLastError());
#else
    return errno;
#endif
}
