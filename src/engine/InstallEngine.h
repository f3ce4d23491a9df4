// The install engine: copies every archive of every disk from the medium
// into its folder and unpacks it (the bar's first fifth), then writes every
// record of every pack file (the rest), reading morlan.ini and the paths of
// SetupState as it goes. It owns the run's cursor over disks, archives and
// packs, the open pack, both stream buffers and the paths. One call of Step
// does one step and says what happened; the progress dialog only shows it,
// keeps the pauses between steps and asks the questions. Portable: no
// window, no timer.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>
#include <string>

#include "config/Sizes.h"
#include "engine/InstallSteps.h"
#include "engine/PackFile.h"
#include "engine/ZipUnpacker.h"
#include "fw/Exception.h"

namespace engine {

enum class Phase { archives, packs, finished };

// What went wrong in a step, with what the message needs to name.
enum class FailureKind {
    archiveCountMissing,  // [Disk<d>] Number is 0 or missing
    refusedConfigName,    // a name of morlan.ini would lead out of its folder: name, section
    archivePathTooLong,   // an archive's paths do not fit their buffers: name, section
    packPathTooLong,      // a pack's paths do not fit: number
    refusedStoredName,    // a name stored in an archive or pack would lead out: name, file (the container)
    storedPathTooLong,    // the folder and a stored name do not fit: name, file
    copyFailed,           // the archive's copy cannot be written: file (the copy), archive, number, bytes
    damagedArchive,       // the archive is damaged: archive, number (its disk), cause
    archiveUnreadable,    // the copied archive cannot be read: file
    outputFailed,         // a file being installed cannot be written or put in place: file, bytes
    packUnpackFailed,     // an archive's pack cannot be written: file, archive, number, bytes
    packMissing,          // the pack cannot be opened
    noMemory,             // a stream buffer cannot be had
    recordCreateFailed,   // a record's file cannot be created: file
    damagedPack,          // the pack ends inside a record or holds a name without end: file
};

struct Failure {
    FailureKind kind = FailureKind::outputFailed;
    std::string file;      // the file concerned, as the user knows it
    std::string archive;   // the archive's name on the medium ("core.zip")
    std::string name;      // the refused or too long name or value
    std::string section;   // the section of morlan.ini ("Disk1", "Remove")
    int number = 0;        // the archive's disk, or the pack's number
    char drive = 0;        // the medium's drive letter, as the disk prompt shows it
    int osError = 0;       // the system's error; 0 when none
    FileFault fault = FileFault::other;  // what osError means for the file
    CFileException::Operation operation = CFileException::write;
    ZipCause cause = ZipCause::otherError;
    uint64_t bytes = 0;    // the size of what was being written
};

// The message that tells the user about a failure: the texts of the setup's
// own messages where they exist, else what happened to which file and what
// to do, ending with how to try again at the question that follows.
std::string FailureMessage(const Failure& failure);
// "1.2 MB", "350 KB", "17 bytes".
std::string SizeText(uint64_t bytes);

// How the run goes on after a step that made progress.
enum class Pace {
    now,          // the next step at once (the archive is copied, then unpacked)
    archiveDone,  // an archive is done: the pause before the next one
    lastArchive,  // the last archive is done: the wait, then the pause
    packReady,    // the pack phase was set up or a pack opened: the next step soon
    recordDone,   // a record was written
};

struct StepResult {
    enum class Kind {
        progress,  // the step was done: show the texts, go on as `pace` says
        needDisk,  // the archive's copy failed on the medium's side: ask for `disk`
        failed,    // show `failure`, then ask whether to exit
        finished,  // every step is done
    };
    Kind kind = Kind::progress;
    Pace pace = Pace::now;
    std::optional<std::string> source;  // the new source line, when it changed
    std::optional<std::string> dest;    // the new destination line, when it changed
    int percent = -1;                   // the new bar position; -1 when unchanged
    int disk = 0;
    Failure failure;
};

class CInstallEngine {
public:
    CInstallEngine();
    ~CInstallEngine();
    CInstallEngine(const CInstallEngine&) = delete;
    CInstallEngine& operator=(const CInstallEngine&) = delete;

    // Reads [Disk] Number: when the progress dialog starts.
    void Start();
    // Begins with the pack phase, as if the archives were done (tests).
    void StartAtPacks() { phase_ = Phase::packs; }

    // Does one step. After `needDisk` the next call tries the copy again.
    StepResult Step();
    // The next Step does the current step again from its start: the archive
    // is copied afresh from the medium (a replaced disk is read anew), the
    // pack record is read again, a pack that would not open is opened again.
    // After a pause or an interruption between steps it changes nothing.
    void Retry();

    Phase GetPhase() const { return phase_; }

private:
    enum class ArchiveStage { start, copy, unpack };

    StepResult BeginArchive();
    StepResult CopyCurrentArchive();
    StepResult UnpackCurrentArchive();
    StepResult SetUpPacks();
    StepResult OpenNextPack();
    void OpenPack(int i);
    // [Remove] Dir<i>, File<i> and Dest<i>.
    struct PackNames {
        std::string dir, file, dest;
    };
    static PackNames ReadPackNames(int i);
    // The paths of a pack from its names; false when one does not fit.
    static bool ComposePackPaths(const PackNames& names, char (&packPath)[sizes::kPath],
                                 char (&destDir)[sizes::kFolder]);
    // Whether a path is one of the packs that [Remove] lists: a file of the
    // medium's own making that the user never sees.
    static bool IsListedPack(const std::string& path);
    void ClosePack(bool deleteIt);
    StepResult WriteRecord();
    StepResult Fail(Failure f) const;
    // A failure of the file being written, its meaning read off the system.
    Failure FileFailure(FailureKind kind, const std::string& file, int osError, CFileException::Operation op,
                        uint64_t bytes) const;
    void RemoveLeftTemporariesOnce(const std::string& path);

    Phase phase_ = Phase::archives;

    // The archive phase: disk d's archive k, 1-based.
    int diskCount_ = 0;
    int disk_ = 1;
    int archive_ = 1;
    int archivesOnDisk_ = 0;  // 0: not read yet
    int archivePercent_ = 0;
    ArchiveStage stage_ = ArchiveStage::start;
    ArchivePaths paths_;
    std::string archiveName_;  // name.zip
    bool inPlace_ = false;     // the archive already lies where it belongs: the medium's own
    int targetPercent_ = 0;

    // The pack phase.
    bool packsPending_ = true;  // not set up yet
    int packCount_ = 0;         // [Remove] Number
    int packIndex_ = 0;         // packs opened so far
    int recordCount_ = 0;       // the current pack's header count
    int recordsDone_ = 0;
    int lastPercent_ = kArchiveShare;
    PackSlice slice_;
    char packPath_[sizes::kPath] = {};
    char packDestDir_[sizes::kFolder] = {};
    std::optional<Failure> packProblem_;  // why the current pack could not be opened, when known
    std::unique_ptr<char[]> readBuffer_;
    std::unique_ptr<char[]> writeBuffer_;
    CPackReader pack_;  // after readBuffer_: closed before its buffer goes

    std::vector<std::string> swept_;  // folders cleared of what an abrupt end left (a few)
};

}  // namespace engine
