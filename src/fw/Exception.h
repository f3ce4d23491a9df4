// Exceptions of the framework. Every exception that the setup throws derives
// from CException; the dialog procedure catches them and shows their text
// (see Dialog.win.cpp), so none crosses into the system's message loop.
#pragma once
#include <exception>
#include <string>

class CException : public std::exception {
public:
    // Text shown to the user when the exception reaches a dialog procedure.
    virtual std::string GetErrorMessage() const = 0;
    const char* what() const noexcept override;

private:
    mutable std::string whatText_;
};

// A file operation failed. Carries the operating system's error code
// (GetLastError on Windows, errno elsewhere) and the file's path.
class CFileException : public CException {
public:
    enum Operation { open, read, write, seek, close, setStatus, replace };
    CFileException(Operation op, int osError, std::string path);
    std::string GetErrorMessage() const override;

    Operation operation;
    int osError;
    std::string path;
};

// The operating system's description of an error code, without a trailing
// newline.
std::string SystemErrorText(int osError);

// What an error code of a file operation means for the user: the same
// reasons whatever the system (Windows' codes, those of the Windows 95
// family included, or errno).
enum class FileFault {
    other,
    diskFull,      // no room left on the drive
    inUse,         // another program holds the file
    accessDenied,  // the file or its folder may not be written
    notFound,      // the file or its folder does not exist
    notReady,      // no disk in the drive, or the medium cannot be read
};
FileFault FileFaultOf(int osError);

// The system's error code of the last failed call: GetLastError on Windows
// (also after a C stream call, whose errno is coarser), errno elsewhere.
int LastSystemError();
