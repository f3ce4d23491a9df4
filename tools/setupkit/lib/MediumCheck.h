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

// The setup's fixed waiting time, in milliseconds, for a medium of
// `archives` archives: it pauses a second after every archive and two more
// after the last, whatever their size.
inline constexpr unsigned kArchivePauseMs = 1000, kLastArchiveWaitMs = 2000;
inline unsigned long SetupWaitMs(int archives) {
    return archives > 0 ? static_cast<unsigned long>(archives) * kArchivePauseMs + kLastArchiveWaitMs : 0;
}
// check warns when that wait is longer than this and two or more archives
// hold a plain file each that a pack could carry.
inline constexpr unsigned long kWaitWarnMs = 5000;

// folders: one folder per disk, in order; or one folder holding the whole
// medium; or one folder holding disk1, disk2, ... as `setupkit build`
// writes them.
CheckReport CheckMedium(const std::vector<std::string>& folders, const CheckOptions& options = {});

// "file:line: error: message"
std::string FindingText(const CheckFinding& f);
// {"errors":N,"warnings":N,"findings":[{"severity":...,"file":...,"line":N,"message":...}]}
std::string FindingsJson(const CheckReport& report);
