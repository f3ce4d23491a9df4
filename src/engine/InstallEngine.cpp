#include "engine/InstallEngine.h"
#include "config/Ascii.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>

#include "config/Paths.h"
#include "config/SetupState.h"
#include "fw/File.h"

namespace engine {

namespace {

using Kind = StepResult::Kind;

constexpr unsigned kValueSize = sizes::kName;
constexpr char kSep[] = {kSeparator, 0};

std::string ReadIndexed(const char* section, const char* prefix, int index) {
    char key[32], value[kValueSize];
    FormatIndexedName(key, sizeof key, prefix, index);
    ReadConfigString(section, key, value, sizeof value);
    return value;
}

int ReadIndexedInt(const char* section, const char* prefix, int index) {
    char key[32];
    FormatIndexedName(key, sizeof key, prefix, index);
    return ReadConfigInt(section, key);
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The drive a path lies on ("D:"), empty for a path without one.
std::string DriveOf(const std::string& path) {
    if (path.size() < 2 || path[1] != ':') return "";
    return std::string(1, AsciiUpper(path[0])) + ":";
}

char MediumDrive() { return AsciiUpper(g_setup.sourceDir[0]); }

StepResult Progress(Pace pace) {
    StepResult r;
    r.pace = pace;
    return r;
}

}  // namespace

// ------------------------------------------------------------------ messages

std::string SizeText(uint64_t bytes) {
    constexpr uint64_t kKB = 1024, kMB = 1024 * 1024;
    if (bytes >= kMB) {
        const uint64_t tenths = (bytes * 10 + kMB - 1) / kMB;  // rounded up: what is needed
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
    }
    if (bytes >= kKB) return std::to_string((bytes + kKB - 1) / kKB) + " KB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string FailureMessage(const Failure& f) {
    static const char kTryAgain[] = "then answer No to the next question to try again.";
    const std::string drive = DriveOf(f.file);
    const std::string onDrive = drive.empty() ? "on the drive of " + f.file : "on drive " + drive;
    switch (f.kind) {
    case FailureKind::archiveCountMissing: return "Error File of morlan.ini";
    case FailureKind::refusedConfigName:
        return InvalidNameText(f.name, f.section, f.number ? " for pack " + std::to_string(f.number) : "");
    case FailureKind::archivePathTooLong:
        return "Path too long for archive " + Quoted(f.name) + " of [" + f.section + "] in morlan.ini.";
    case FailureKind::packPathTooLong:
        return "Path too long for pack " + std::to_string(f.number) + " of [Remove] in morlan.ini.";
    case FailureKind::refusedStoredName: return "Invalid file name " + Quoted(f.name) + " in " + f.file + ".";
    case FailureKind::storedPathTooLong: return PathTooLongText(f.name, f.file);
    case FailureKind::packMissing: return "Error File Open.";
    case FailureKind::noMemory: return "Not Enough Memory.";
    case FailureKind::recordCreateFailed: return "Error Move Out File.";
    case FailureKind::damagedPack:
        return "The pack file " + f.file + " is damaged: it ends inside a record or holds a name without end.";
    case FailureKind::damagedArchive: {
        const std::string disk = std::to_string(f.number);
        return "The archive " + f.archive + " on disk " + disk + " is damaged.\n\nA good copy of disk " + disk +
               " is needed: put it in drive " + std::string(1, f.drive) + ":, " + kTryAgain;
    }
    case FailureKind::archiveUnreadable:
    case FailureKind::copyFailed:
    case FailureKind::packUnpackFailed:
    case FailureKind::outputFailed: break;
    }
    const bool copy = f.kind == FailureKind::copyFailed, pack = f.kind == FailureKind::packUnpackFailed;
    const std::string archive = "the archive " + f.archive + " of disk " + std::to_string(f.number);
    const std::string what = copy || pack ? archive : "the file " + f.file;
    switch (f.fault) {
    case FileFault::diskFull:
        return "There is not enough space " + onDrive +
               (copy ? " to copy " + what + " to " + f.file : pack ? " to unpack " + what : " for " + what) +
               " (it needs " + SizeText(f.bytes) + ").\n\nMake room " + onDrive + ", " + kTryAgain;
    case FileFault::inUse:
        return "The file " + f.file + " is in use by another program.\n\nClose that program, " + kTryAgain;
    case FileFault::accessDenied:
        return "The file " + f.file + " cannot be written: access is denied.\n\nMake sure that the file is not "
               "read-only and that you may change files in " + FolderOf(f.file) + ", " + kTryAgain;
    case FileFault::notFound:
        return "The folder " + FolderOf(f.file) + " does not exist, so " + what + " cannot be " +
               (copy ? "copied into it" : "written") + ".\n\nCreate the folder, " + kTryAgain;
    case FileFault::notReady:
    case FileFault::other: break;
    }
    const char* doing = f.kind == FailureKind::archiveUnreadable      ? "reading"
                        : f.operation == CFileException::setStatus ? "setting the time of"
                        : f.operation == CFileException::replace   ? "replacing"
                                                                   : "writing";
    return std::string("An error occurred while ") + doing + " the file " + f.file + ". " + SystemErrorText(f.osError) +
           "\n\nCheck the drive, " + kTryAgain;
}

// ------------------------------------------------------------------ the run

CInstallEngine::CInstallEngine() = default;

CInstallEngine::~CInstallEngine() { pack_.Close(); }

void CInstallEngine::Start() { diskCount_ = ReadConfigInt("Disk", "Number"); }

StepResult CInstallEngine::Step() {
    switch (phase_) {
    case Phase::archives:
        switch (stage_) {
        case ArchiveStage::start: return BeginArchive();
        case ArchiveStage::copy: return CopyCurrentArchive();
        case ArchiveStage::unpack: return UnpackCurrentArchive();
        }
        break;
    case Phase::packs: return packsPending_ ? SetUpPacks() : WriteRecord();
    case Phase::finished: break;
    }
    StepResult done;
    done.kind = Kind::finished;
    return done;
}

void CInstallEngine::Retry() {
    if (phase_ == Phase::archives) {
        stage_ = ArchiveStage::start;
        return;
    }
    // A pack that would not open for a reason of the file system is tried
    // again; one whose names morlan.ini refuses stays refused.
    if (phase_ == Phase::packs && !packsPending_ && !pack_.IsOpen() && !packProblem_ && packIndex_ > 0)
        OpenPack(packIndex_);
}

StepResult CInstallEngine::Fail(Failure f) const {
    StepResult r;
    r.kind = Kind::failed;
    f.drive = MediumDrive();
    r.failure = std::move(f);
    return r;
}

Failure CInstallEngine::FileFailure(FailureKind kind, const std::string& file, int osError,
                                    CFileException::Operation op, uint64_t bytes) const {
    Failure f;
    f.kind = kind;
    f.file = file;
    f.osError = osError;
    f.operation = op;
    f.bytes = bytes;
    f.fault = FileFaultOf(osError);
    // Windows refuses to replace a file that a running program holds with
    // "access denied", as it does for a read-only one: tell them apart.
    if (f.fault == FileFault::accessDenied && CFile::IsHeldOpen(file)) f.fault = FileFault::inUse;
    return f;
}

void CInstallEngine::RemoveLeftTemporariesOnce(const std::string& path) {
    const std::string folder = FolderOf(path);
    if (std::find(swept_.begin(), swept_.end(), folder) != swept_.end()) return;
    swept_.push_back(folder);
    CFile::RemoveLeftTemporaries(folder);
}

// ------------------------------------------------------------------ archives

StepResult CInstallEngine::BeginArchive() {
    char section[32];
    FormatIndexedName(section, sizeof section, "Disk", disk_);
    if (archivesOnDisk_ <= 0) {
        archivesOnDisk_ = std::max(ReadConfigInt(section, "Number"), 0);
        if (archivesOnDisk_ == 0) {
            Failure f;
            f.kind = FailureKind::archiveCountMissing;
            f.section = section;
            return Fail(f);
        }
    }
    const std::string name = ReadIndexed(section, "File", archive_), dir = ReadIndexed(section, "Dir", archive_);
    const char* bad = nullptr;
    paths_ = {};
    const ComposeResult composed =
        ComposeArchivePaths(g_setup.sourceDir, g_setup.installDir, name.c_str(), dir.c_str(), paths_, &bad);
    if (composed != ComposeResult::ok) {
        Failure f;
        f.kind = composed == ComposeResult::refused ? FailureKind::refusedConfigName : FailureKind::archivePathTooLong;
        f.name = bad;
        f.section = section;
        return Fail(f);
    }
    archiveName_ = name + ".zip";
    // An archive that already lies where it belongs is the medium's own
    // file: it is neither copied nor touched nor deleted.
    inPlace_ = SamePathNoCase(paths_.src, paths_.dst) || CFile::IsSameFile(paths_.src, paths_.dst);
    targetPercent_ = ArchiveTargetPercent(ReadIndexedInt(section, "Percent", archive_));
    // The names come back before the copy, so that they are on the screen
    // while the archive is copied from a slow disk.
    stage_ = ArchiveStage::copy;
    StepResult r = Progress(Pace::now);
    r.source = paths_.src;
    r.dest = paths_.dst;
    return r;
}

StepResult CInstallEngine::CopyCurrentArchive() {
    if (!inPlace_) {
        const CopyOutcome c = CopyArchive(paths_.src, paths_.dst);
        if (c.result == CopyOutcome::Result::sourceFailed) {
            // The medium's file cannot be had: the disk is not in the drive.
            StepResult r;
            r.kind = Kind::needDisk;
            r.disk = disk_;
            return r;
        }
        if (c.result == CopyOutcome::Result::destinationFailed) {
            Failure f = FileFailure(FailureKind::copyFailed, paths_.dst, c.osError, CFileException::write, c.size);
            f.archive = archiveName_;
            f.number = disk_;
            return Fail(f);
        }
    }
    archivePercent_ = ArchiveMidwayPercent(archivePercent_, targetPercent_);
    stage_ = ArchiveStage::unpack;
    StepResult r = Progress(Pace::now);
    r.percent = archivePercent_;
    return r;
}

StepResult CInstallEngine::UnpackCurrentArchive() {
    CFile::SetCurrentFolder(paths_.destFolder);
    const UnpackOutcome u = UnpackFirstEntry(paths_.dst);
    if (u.result != UnpackOutcome::Result::done) {
        // The copy goes too: a retry copies the archive afresh from the
        // medium, and a full drive gets its room back.
        if (!inPlace_) std::remove(paths_.dst);
        stage_ = ArchiveStage::start;
        Failure f;
        switch (u.result) {
        case UnpackOutcome::Result::refusedName:
        case UnpackOutcome::Result::pathTooLong:
            f.kind = u.result == UnpackOutcome::Result::refusedName ? FailureKind::refusedStoredName
                                                                    : FailureKind::storedPathTooLong;
            f.name = u.entryName;
            f.file = paths_.dst;
            break;
        case UnpackOutcome::Result::damaged:
            f.kind = FailureKind::damagedArchive;
            f.file = paths_.src;
            f.cause = u.cause;
            break;
        case UnpackOutcome::Result::unreadable:
            f = FileFailure(FailureKind::archiveUnreadable, paths_.dst, u.osError, u.operation, 0);
            break;
        case UnpackOutcome::Result::outputFailed:
        case UnpackOutcome::Result::done:
            // A pack is named by the archive that brings it: the user knows
            // the disk, not the pack.
            f = FileFailure(IsListedPack(u.outPath) ? FailureKind::packUnpackFailed : FailureKind::outputFailed,
                            u.outPath, u.osError, u.operation, u.size);
            break;
        }
        f.archive = archiveName_;
        f.number = disk_;
        return Fail(f);
    }
    RemoveLeftTemporariesOnce(u.outPath);
    if (!inPlace_) std::remove(paths_.dst);

    archivePercent_ = targetPercent_;
    StepResult r = Progress(Pace::archiveDone);
    r.percent = archivePercent_;
    stage_ = ArchiveStage::start;
    archive_ += 1;
    if (archive_ > archivesOnDisk_) {
        disk_ += 1;
        archive_ = 1;
        archivesOnDisk_ = 0;
        if (disk_ > diskCount_) {
            phase_ = Phase::packs;
            r.pace = Pace::lastArchive;
        }
    }
    return r;
}

// ------------------------------------------------------------------ packs

StepResult CInstallEngine::SetUpPacks() {
    packCount_ = std::max(ReadConfigInt("Remove", "Number"), 0);
    packIndex_ = 0;
    writeBuffer_.reset(new (std::nothrow) char[pack::kStreamBufferSize]);
    packsPending_ = false;
    return OpenNextPack();
}

void CInstallEngine::ClosePack(bool deleteIt) {
    if (!pack_.IsOpen()) return;
    pack_.Close();
    if (deleteIt) std::remove(packPath_);
}

StepResult CInstallEngine::OpenNextPack() {
    if (packIndex_ >= packCount_) {
        ClosePack(true);
        readBuffer_.reset();
        writeBuffer_.reset();
        phase_ = Phase::finished;
        StepResult done;
        done.kind = Kind::finished;
        return done;
    }
    const int j = packIndex_, i = j + 1;
    packIndex_ = i;
    ClosePack(true);  // the finished pack
    OpenPack(i);
    recordsDone_ = 0;
    slice_ = PackSliceFor(packCount_, j);
    StepResult r = Progress(Pace::packReady);
    r.source = packPath_;
    return r;
}

CInstallEngine::PackNames CInstallEngine::ReadPackNames(int i) {
    return {ReadIndexed("Remove", "Dir", i), ReadIndexed("Remove", "File", i), ReadIndexed("Remove", "Dest", i)};
}

bool CInstallEngine::ComposePackPaths(const PackNames& n, char (&packPath)[sizes::kPath],
                                      char (&destDir)[sizes::kFolder]) {
    char folder[sizes::kPath];
    return JoinBelow(folder, sizeof folder, g_setup.installDir, n.dir.c_str()) &&
           JoinPath(packPath, sizeof packPath, {folder, kSep, n.file.c_str()}) &&
           JoinBelow(destDir, sizeof destDir, g_setup.installDir, n.dest.c_str());
}

bool CInstallEngine::IsListedPack(const std::string& path) {
    const int count = std::min(ReadConfigInt("Remove", "Number"), sizes::kMaxNumberedEntries);
    for (int i = 1; i <= count; ++i) {
        char packPath[sizes::kPath], destDir[sizes::kFolder];
        if (ComposePackPaths(ReadPackNames(i), packPath, destDir) && SamePathNoCase(packPath, path.c_str())) return true;
    }
    return false;
}

void CInstallEngine::OpenPack(int i) {
    readBuffer_.reset();
    const PackNames names = ReadPackNames(i);
    packProblem_.reset();
    packPath_[0] = packDestDir_[0] = 0;
    const std::string* bad = !IsAcceptableConfigName(names.dir.c_str())    ? &names.dir
                             : !IsAcceptableConfigName(names.file.c_str()) ? &names.file
                             : !IsAcceptableConfigName(names.dest.c_str()) ? &names.dest
                                                                           : nullptr;
    if (bad) {
        Failure f;
        f.kind = FailureKind::refusedConfigName;
        f.name = *bad;
        f.section = "Remove";
        f.number = i;
        packProblem_ = f;
    } else if (!ComposePackPaths(names, packPath_, packDestDir_)) {
        Failure f;
        f.kind = FailureKind::packPathTooLong;
        f.number = i;
        packProblem_ = f;
    }
    if (packProblem_) return;
    readBuffer_.reset(new (std::nothrow) char[pack::kStreamBufferSize]);
    if (pack_.Open(packPath_, readBuffer_.get(), readBuffer_ ? pack::kStreamBufferSize : 0))
        recordCount_ = pack_.ReadHeader();
}

StepResult CInstallEngine::WriteRecord() {
    if (!pack_.IsOpen()) {
        if (packProblem_) return Fail(*packProblem_);
        Failure f;
        f.kind = FailureKind::packMissing;
        f.file = packPath_;
        return Fail(f);
    }
    if (!readBuffer_ || !writeBuffer_) {
        Failure f;
        f.kind = FailureKind::noMemory;
        return Fail(f);
    }
    CFile::SetCurrentFolder(packDestDir_);
    const PackStepOutcome o = WritePackRecord(pack_, packDestDir_, writeBuffer_.get(), pack::kStreamBufferSize);
    using Result = PackStepOutcome::Result;
    Failure f;
    switch (o.result) {
    case Result::packEnd: return OpenNextPack();
    case Result::damaged:
        f.kind = FailureKind::damagedPack;
        f.file = packPath_;
        return Fail(f);
    case Result::refusedName:
    case Result::pathTooLong:
        f.kind = o.result == Result::refusedName ? FailureKind::refusedStoredName : FailureKind::storedPathTooLong;
        f.name = o.info.name;
        f.file = packPath_;
        return Fail(f);
    case Result::createFailed: {
        f = FileFailure(FailureKind::recordCreateFailed, o.path, o.osError, o.operation, o.info.length);
        StepResult r = Fail(f);
        r.dest = o.path;
        return r;
    }
    case Result::writeFailed:
    case Result::stampFailed:
        f = FileFailure(FailureKind::outputFailed, o.path, o.osError, o.operation, o.info.length);
        if (o.result == Result::writeFailed) return Fail(f);
        break;  // the file is in place: the record counts as written
    case Result::written: break;
    }
    RemoveLeftTemporariesOnce(o.path);
    recordsDone_ += 1;
    StepResult r = Progress(Pace::recordDone);
    r.dest = o.path;
    const int percent = PackPercent(slice_, recordsDone_, recordCount_);
    if (percent != lastPercent_) r.percent = lastPercent_ = percent;
    if (o.result == Result::stampFailed) {
        r.kind = Kind::failed;
        f.drive = MediumDrive();
        r.failure = f;
    }
    return r;
}

}  // namespace engine
