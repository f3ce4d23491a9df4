// The vendor's package description (package.ini) and its payload: what
// `setupkit build` turns into an installation medium. The format is our
// own, read with the setup's profile reader (so the same syntax rules
// apply); lines starting with ';' or '#' are comments. Paths of source files
// are relative to the folder of the package file; paths of installed files
// and folders are relative to the installation folder, '\' separated.
//
//   [Product]
//   Name=Demo Programmer              product name in the destination page's sentence
//   Caption=Demo Programmer 1.0       caption of the wizard and the progress dialog
//   Folder=C:\DemoProg                default destination folder
//   Program=bin\Demo.exe              program of the shortcuts and of "run after setup"
//   OpenFolder=bin                    folder opened when the program is not started
//   ProgrammerType=0                  0 kernel driver (bin\Kr3nt.sys), 1 USB driver, 2 none
//   LanguageLibrary=Lang              the chosen language's library is copied to bin\Lang.dll
//   [Shortcut]
//   Name=Demo Programmer              file name of the shortcuts
//   Description=...                   their description
//   Icon=Demo                         bin\Demo.ico
//   [Languages]                       in list order: text shown = library in bin (no .dll) or Default
//   English=English
//   Deutsch=German
//   [Payload]
//   Root=files                        folder whose tree is installed as it is
//   Pack=help                         (repeatable, older packages) accepted; every file travels in packs anyway
//   [Add]                             (optional) installed path = source file elsewhere
//   bin\Demo.exe=../../build/win64/bin/Demo.exe
//   [Folders]                         (optional) extra empty folders to create, one per line
//   [Delete]                          (optional) installed paths to delete after copying, one per line
//   [USB]                             (ProgrammerType=1) VID=, PID= and SystemFile=name in bin, folder
//                                     below the Windows folder (repeatable)
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A package that cannot be built; the message names file and line.
class PackageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PayloadFile {
    std::string installPath;  // relative to the installation folder, '\' separated
    std::string sourcePath;   // file to read
    uint64_t size = 0;
    uint32_t dosTime = 0;     // last-write time, local, MS-DOS form
    uint32_t attributes = 0;  // Windows attribute bits (archive, read-only)
};

struct Package {
    std::string path;  // the package file
    std::string dir;   // its folder (base of source paths)

    std::string name, caption, folder, program, openFolder, languageLibrary;
    int programmerType = 2;
    std::string shortcutName, shortcutDescription, shortcutIcon;
    std::vector<std::pair<std::string, std::string>> languages;  // text, library
    std::vector<std::string> packs;        // installed folders ("" = the installation folder)
    std::vector<std::string> extraFolders;
    std::vector<std::string> deleteFiles;
    std::string vid, pid;
    std::vector<std::pair<std::string, std::string>> systemFiles;  // name in bin, folder below Windows

    std::vector<PayloadFile> files;  // sorted by installPath (case-insensitive)

    // Looks up an installed file, without regard to case.
    const PayloadFile* Find(const std::string& installPath) const;
};

// Reads the package file and scans its payload (sizes, times). Throws
// PackageError with "file:line: message" for anything the setup could not
// install as described.
Package LoadPackage(const std::string& packageFile,
                    const std::vector<std::pair<std::string, std::string>>& extraFiles = {});

// Normalises an installed path: '/' becomes '\', repeated and trailing
// separators go, "." alone means the installation folder (""). Returns false
// for names Windows cannot hold or that leave the installation folder.
bool NormaliseInstallPath(std::string& path, std::string* why = nullptr);

// Lower-case copy (ASCII) for comparisons without regard to case.
std::string LowerAscii(std::string s);
