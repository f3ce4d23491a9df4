// The pieces of the install engine's steps: the progress arithmetic, the
// paths of one archive, the copy of an archive from the medium, the
// unpacking of its entry and the writing of one pack record. Each reports
// what happened as a value; none throws. Portable, so that tests and the
// vendor tool can call them directly.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/Sizes.h"
#include "engine/PackFile.h"
#include "engine/ZipUnpacker.h"
#include "fw/Exception.h"

namespace engine {

// The separator of the paths the engine builds: the setup's own on
// Windows; elsewhere (the native tests, the vendor tool) the system's.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// A name stored with '\\' (or '/') in the system's own separators.
std::string NativeName(std::string name);

// base + separator + sub, in the system's separators; a sub-folder that is
// empty or "." is the base itself (no separator is added). False, leaving
// out empty, when it does not fit size bytes.
bool JoinBelow(char* out, size_t size, const char* base, const char* sub);

// ---- progress (bar positions 0..100)

// The archive phase fills the bar up to here, the pack phase the rest.
inline constexpr int kArchiveShare = 20;

// Bar position reached when an archive is done: Percent × 20 / 100.
// Percent is taken within 0..100.
int ArchiveTargetPercent(int percentKey);
// Position shown while an archive unpacks: halfway from the current one.
int ArchiveMidwayPercent(int current, int target);

// Share of the pack phase (in percent) before pack j (0-based) and taken by
// it: 100 / count each, the last one taking the rest.
struct PackSlice {
    int base = 0;
    int share = 0;
};
PackSlice PackSliceFor(int packCount, int j);
// Bar position after `done` records of a pack whose header counts `count`:
// 20 + (base + share × done / count) × 80 / 100. A count of 0 or less (or
// smaller than the records actually in the pack) never divides by zero or
// leaves the pack's slice: the bar stays within 20..100.
int PackPercent(const PackSlice& slice, int done, int count);

// ---- one archive

// A value from the configuration file that names a file or folder below a
// base folder: empty (the base folder itself) or a safe relative name.
bool IsAcceptableConfigName(const char* value);

struct ArchivePaths {
    char src[sizes::kPath] = {};         // sourceDir\name.zip
    char destFolder[sizes::kPath] = {};  // installDir\dir
    char dst[sizes::kPath] = {};         // destFolder\name.zip
};
enum class ComposeResult { ok, refused, tooLong };
// Composes the paths of one archive. `refused` when name or dir would lead
// out of their folders, `tooLong` when a path does not fit its buffer (a
// cut path is never used). `bad` receives the offending value.
ComposeResult ComposeArchivePaths(const char* sourceDir, const char* installDir, const char* name, const char* dir,
                                  ArchivePaths& out, const char** bad);

// Copies an archive from the medium to its destination, over a copy left
// there whatever its attributes. The two sides fail apart: the medium's
// file cannot be opened or read (the disk is not in the drive, or is
// damaged), or the destination cannot be created or written (full,
// read-only, refused, missing). A copy that failed leaves no file.
struct CopyOutcome {
    enum class Result { copied, sourceFailed, destinationFailed };
    Result result = Result::copied;
    int osError = 0;
    uint64_t size = 0;  // the archive's length, when the medium's file opened
};
CopyOutcome CopyArchive(const std::string& src, const std::string& dst);

// Unpacks the first entry of the ZIP archive at archivePath beside it (in
// the archive's folder) under the entry's stored name, reading 1024 bytes
// at a time into a new file in the target's folder. Once the archive is
// closed (with its CRC check) that file replaces whatever file the target
// was, read-only, hidden or system included, and gets the entry's time and
// attributes. A name that would lead out of the folder, or a path that does
// not fit, is refused before anything is written. On every failure the new
// file is removed and a file already at the target keeps its content.
struct UnpackOutcome {
    enum class Result {
        done,
        refusedName,    // the entry's name would lead out of the folder
        pathTooLong,    // folder + name does not fit
        damaged,        // the reader refused the archive: `cause`
        unreadable,     // the archive's file could not be opened or read: osError
        outputFailed,   // the target could not be written, replaced or given its time: osError, operation
    };
    Result result = Result::done;
    std::string entryName;
    char outPath[sizes::kPath] = {};
    ZipCause cause = ZipCause::otherError;
    int osError = 0;
    CFileException::Operation operation = CFileException::write;
    uint64_t size = 0;  // the entry's uncompressed size, once known
};
UnpackOutcome UnpackFirstEntry(const char* archivePath);

// ---- one pack record

struct PackStepOutcome {
    enum class Result {
        written,       // the record's file was written and given its time
        packEnd,       // no further record in this pack
        damaged,       // the pack ends inside a record, or a name has no end
        refusedName,   // the name would lead out of the destination folder
        pathTooLong,   // destination folder + name does not fit
        createFailed,  // the output file cannot be created (osError)
        writeFailed,   // the output could not be written or put in place (osError, operation)
        stampFailed,   // the file is in place but its time could not be set (osError)
    };
    Result result = Result::packEnd;
    PackRecordInfo info;
    char path[sizes::kRecordPath] = {};  // destDir + separator + name, when it fits
    int osError = 0;
    CFileException::Operation operation = CFileException::write;
};

// Reads the next record of the pack and writes it as destDir\name: into a
// new file beside the target through writeBuffer (the output stream's
// buffer, full buffering), which then replaces a file already there
// whatever its attributes, and gets the record's time. A file already
// there keeps its content until its replacement is complete, and no
// partly written file stays. For every failure before the file is in place
// the reader is put back to the record's start, so the next call tries
// the same record again; after `stampFailed` it stands after the record.
PackStepOutcome WritePackRecord(CPackReader& reader, const char* destDir, char* writeBuffer, size_t writeBufferSize);

}  // namespace engine
