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
