// Checks an installation medium the way the setup will read it: morlan.ini
// through the setup's own profile reader, the archives through its own ZIP
// reader, the pack files through its own pack reader. Every finding names
// the line of morlan.ini it concerns. Portable.
#pragma once
#include <string>
#include <vector>

struct CheckFinding {
    bool error = true;  // false: warning
    std::string file;
    int line = 0;       // 0: the file as a whole
    std::string message;
};

struct CheckOptions {
    // Unpack every archive (CRC check) and read the pack files inside them.
    // Without it only the archives' central directories are read.
    bool readArchiveData = true;
    // Report a disk 1 without setup.exe.
    bool expectSetupExe = true;
};

struct CheckReport {
    std::vector<CheckFinding> findings;
    int Errors() const;
    int Warnings() const;
};

// folders: one folder per disk, in order; or one folder holding the whole
// medium; or one folder holding disk1, disk2, ... as `setupkit build`
// writes them.
CheckReport CheckMedium(const std::vector<std::string>& folders, const CheckOptions& options = {});

// "file:line: error: message"
std::string FindingText(const CheckFinding& f);
// {"errors":N,"warnings":N,"findings":[{"severity":...,"file":...,"line":N,"message":...}]}
std::string FindingsJson(const CheckReport& report);
