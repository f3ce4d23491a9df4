// Builds an installation medium from a package, laid out for the shortest
// installation (the setup pauses a second after every archive): every file
// whose attributes a pack record can carry travels in pack files in the
// installation folder, as few as the disks allow; a read-only, hidden or
// system file, or one whose installed path a record cannot name, gets an
// archive of one deflated entry. The archives are laid out on disks of a
// given size (first fit, in plan order),
// and morlan.ini describes it all, with the progress percentages computed
// from the archives' sizes. The medium depends on the package alone (its
// files, their times, the options), never on the clock, the thread count or
// the order in which the system lists folders. Portable.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fw/File.h"
#include "setupkit/lib/Package.h"

struct BuildOptions {
    uint64_t diskSize = 650ull * 1024 * 1024;  // a CD
    std::string setupExe;                      // copied to disk 1 when given
    unsigned threads = 0;                      // compression threads; 0 = one per processor
    // The time of what the build makes itself (pack entries, the medium's
    // files and folders); unset, each takes the newest time of its inputs,
    // so that an unchanged package gives the same medium again.
    std::optional<LocalTime> sourceDate;
    // Called now and then with the payload bytes read so far and in all.
    std::function<void(uint64_t done, uint64_t total)> progress;
};

struct BuiltArchive {
    std::string name;   // base name (File<k>); the file is name + ".zip"
    std::string dir;    // folder below the installation folder ("." for itself)
    std::string entry;  // the entry's name
    bool isPack = false;
    uint64_t size = 0;  // bytes of the archive file
    uint64_t payloadBytes = 0;
    int disk = 0;       // 1-based
    std::vector<std::string> files;  // installed paths it delivers
};

struct BuildResult {
    int diskCount = 0;
    std::vector<BuiltArchive> archives;  // in the order the setup processes them
    std::vector<std::string> diskDirs;   // OUTDIR/disk1 ...
    uint64_t payloadBytes = 0;
};

// Parses a disk size: a number of bytes with an optional suffix K, M or G
// (powers of 1024; decimals allowed, "1.5M"), or a name: floppy (1457664
// bytes, the room a 1.44 MB floppy gives files), cd (650M), dvd (4480M,
// capped below 4 GiB). False with a message for anything else or for less
// than 16 KiB.
bool ParseDiskSize(const std::string& text, uint64_t& bytes, std::string& error);

// Reads a SOURCE_DATE_EPOCH value (seconds since 1970, UTC) as local time.
// False with a message when it is not a plain number or out of range.
bool ParseSourceDateEpoch(const std::string& text, LocalTime& t, std::string& error);

// Writes OUTDIR/disk1, disk2, ... (earlier disk folders of a previous build
// are replaced; a disk folder holding anything else is refused). Throws
// PackageError for what the package or the disk size does not allow and
// CFileException / std::exception for failures of the file system.
BuildResult BuildMedium(const Package& pkg, const std::string& outDir, const BuildOptions& options);
