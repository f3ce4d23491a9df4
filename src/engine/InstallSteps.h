// The work of the progress dialog's steps without the window: the progress
// arithmetic, the paths of one archive, and the writing of one pack record.
// Portable, so that tests and the vendor tool can call it directly.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/Sizes.h"
#include "engine/PackFile.h"

namespace engine {

inline constexpr size_t kPathSize = sizes::kPath;

// ---- progress (bar positions 0..100)

// Bar position reached when an archive is done: Percent × 20 / 100, the
// archive phase filling the first fifth. Percent is taken within 0..100.
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
    char src[kPathSize] = {};         // sourceDir\name.zip
    char destFolder[kPathSize] = {};  // installDir\dir
    char dst[kPathSize] = {};         // destFolder\name.zip
};
enum class ComposeResult { ok, refused, tooLong };
// Composes the paths of one archive. `refused` when name or dir would lead
// out of their folders, `tooLong` when a path does not fit its buffer (a
// cut path is never used). `bad` receives the offending value or path.
ComposeResult ComposeArchivePaths(const char* sourceDir, const char* installDir, const char* name, const char* dir,
                                  ArchivePaths& out, const char** bad);

// Unpacks the first entry of the ZIP archive at archivePath beside it (in
// the archive's folder) under the entry's stored name, reading 1024 bytes
// at a time into a new file in the target's folder. Once the archive is
// closed (with its CRC check) that file replaces whatever file the target
// was, read-only, hidden or system included, and gets the entry's time and
// attributes. A name that would lead out of the folder, or a path that
// does not fit, is refused before anything is written. The reader's
// CZipException and the file layer's CFileException pass through; the new
// file is then removed and a file already at the target keeps its content.
struct UnpackOutcome {
    enum Result { done, refusedName, pathTooLong };
    Result result = done;
    std::string entryName;
    char outPath[kPathSize] = {};
};
UnpackOutcome UnpackFirstEntry(const char* archivePath);

// ---- one pack record

struct PackStepOutcome {
    enum Result {
        written,       // the record's file was written and given its time
        packEnd,       // no further record in this pack
        damaged,       // the pack ends inside a record, or a name has no end
        refusedName,   // the name would lead out of the destination folder
        pathTooLong,   // destination folder + name does not fit
        createFailed,  // the output file cannot be created
        writeFailed,   // the output file could not be written completely
    };
    Result result = packEnd;
    PackRecordInfo info;
    char path[kPathSize] = {};  // destDir + separator + name, when it fits
};

// Reads the next record of the pack and writes it as destDir\name through
// writeBuffer (the output stream's buffer, full buffering), over a file
// already there whatever its attributes, then gives it the record's time. Nothing is written for a record that fails a check,
// and a partly written file is removed. For every result other than
// `written` and `packEnd` the reader is put back to the record's start, so
// the same record is tried again by the next call. An exception from
// setting the file's time (CFileException) leaves the reader after the
// record.
PackStepOutcome WritePackRecord(CPackReader& reader, const char* destDir, char* writeBuffer,
                                size_t writeBufferSize);

}  // namespace engine
