#include "fw/Exception.h"

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
