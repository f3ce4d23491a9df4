#include "engine/InstallSteps.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/Paths.h"
#include "fw/File.h"

namespace engine {

int ArchiveTargetPercent(int percentKey) { return std::clamp(percentKey, 0, 100) * 20 / 100; }

int ArchiveMidwayPercent(int current, int target) { return current + (target - current) / 2; }

PackSlice PackSliceFor(int packCount, int j) {
    PackSlice s;
    if (packCount <= 0) return s;
    s.base = (100 / packCount) * j;
    s.share = (j + 1 == packCount) ? 100 - s.base : 100 / packCount;
    return s;
}

int PackPercent(const PackSlice& slice, int done, int count) {
    int64_t within = 0;
    if (count > 0) within = static_cast<int64_t>(slice.share) * std::min(done, count) / count;
    const int64_t percent = 20 + (slice.base + within) * 80 / 100;
    return static_cast<int>(std::clamp<int64_t>(percent, 20, 100));
}

bool IsAcceptableConfigName(const char* value) { return !value || !*value || IsSafeRelativeName(value); }


std::string NativeName(std::string name) {
    if (kSeparator != '\\') std::replace(name.begin(), name.end(), '\\', kSeparator);
    return name;
}

namespace {

constexpr char kSep[] = {kSeparator, 0};

}  // namespace

bool JoinBelow(char* out, size_t size, const char* base, const char* sub) {
    if (!sub || !*sub || (sub[0] == '.' && !sub[1])) return JoinPath(out, size, {base});
    const std::string native = NativeName(sub);
    return JoinPath(out, size, {base, kSep, native.c_str()});
}

namespace {

// Removes the file named by path, if any, when it goes out of scope.
struct RemoveOnExit {
    std::string path;
    ~RemoveOnExit() {
        if (!path.empty()) std::remove(path.c_str());
    }
};

}  // namespace

ComposeResult ComposeArchivePaths(const char* sourceDir, const char* installDir, const char* name, const char* dir,
                                  ArchivePaths& out, const char** bad) {
    const char* dummy = nullptr;
    if (!bad) bad = &dummy;
    if (!IsAcceptableConfigName(name)) {
        *bad = name;
        return ComposeResult::refused;
    }
    if (!IsAcceptableConfigName(dir)) {
        *bad = dir;
        return ComposeResult::refused;
    }
    *bad = name;
    if (!JoinPath(out.src, sizeof out.src, {sourceDir, kSep, name, ".zip"}) ||
        !JoinBelow(out.destFolder, sizeof out.destFolder, installDir, dir) ||
        !JoinPath(out.dst, sizeof out.dst, {out.destFolder, kSep, name, ".zip"}))
        return ComposeResult::tooLong;
    return ComposeResult::ok;
}

CopyOutcome CopyArchive(const std::string& src, const std::string& dst) {
    CopyOutcome o;
    auto failed = [&](CopyOutcome::Result r, const CFileException& e) {
        o.result = r;
        o.osError = e.osError;
        return o;
    };
    CFile in;
    try {
        in.Open(src.c_str(), CFile::modeRead | CFile::shareDenyWrite);
        o.size = in.GetLength();
    } catch (const CFileException& e) {
        return failed(CopyOutcome::Result::sourceFailed, e);
    }
    CFile::ClearForReplace(dst);
    CFile out;
    try {
        out.Open(dst.c_str(), CFile::modeCreate | CFile::modeWrite);
    } catch (const CFileException& e) {
        return failed(CopyOutcome::Result::destinationFailed, e);
    }
    RemoveOnExit partial{dst};
    std::vector<char> block(64 * 1024);
    for (;;) {
        unsigned got = 0;
        try {
            got = in.Read(block.data(), static_cast<unsigned>(block.size()));
        } catch (const CFileException& e) {
            out.Abort();
            return failed(CopyOutcome::Result::sourceFailed, e);
        }
        if (got == 0) break;
        try {
            out.Write(block.data(), got);
        } catch (const CFileException& e) {
            out.Abort();
            return failed(CopyOutcome::Result::destinationFailed, e);
        }
    }
    try {
        out.Close();
    } catch (const CFileException& e) {
        return failed(CopyOutcome::Result::destinationFailed, e);
    }
    partial.path.clear();
    return o;
}

UnpackOutcome UnpackFirstEntry(const char* archivePath) {
    UnpackOutcome o;
    RemoveOnExit temp;
    try {
        CZipUnpacker zip(archivePath);
        zip.GoToFirstEntry();
        const ZipEntryInfo info = zip.CurrentEntry(&o.entryName);
        o.entryName.resize(std::strlen(o.entryName.c_str()));  // the name is used as a C string
        o.size = info.uncompressedSize;
        if (!IsSafeRelativeName(o.entryName)) {
            o.result = UnpackOutcome::Result::refusedName;
            return o;
        }
        const std::string name = NativeName(o.entryName);
        const std::string folder = FolderOf(archivePath);
        if (!JoinPath(o.outPath, sizeof o.outPath, {folder.c_str(), folder.empty() ? "" : kSep, name.c_str()})) {
            o.result = UnpackOutcome::Result::pathTooLong;
            return o;
        }
        // A local header that disagrees fails here, before anything is written.
        zip.OpenCurrentEntry();
        // The entry goes to a new file beside its target, which takes the
        // target's place only once the CRC has matched: a damaged entry never
        // replaces a good file nor leaves a file behind that looks installed.
        CFile out;  // closed before temp is removed
        temp.path = out.CreateBeside(o.outPath);
        // Read in 1024-byte pieces; write in larger blocks.
        std::vector<char> staging(64 * 1024);
        size_t used = 0;
        auto flush = [&] {
            out.Write(staging.data(), static_cast<unsigned>(used));
            used = 0;
        };
        for (;;) {
            if (staging.size() - used < 1024) flush();
            const unsigned got = zip.ReadCurrentEntry(staging.data() + used, 1024);
            used += got;
            if (got < 1024) break;
        }
        if (used) flush();
        out.Close();
        zip.CloseArchive();  // the CRC check
        CFile::MoveOver(temp.path, o.outPath);
        temp.path.clear();
        // Times after the rename: a file system may carry the replaced file's
        // creation time over to the name.
        CZipUnpacker::ApplyEntryStatus(o.outPath, info);
    } catch (const CZipException& e) {
        o.result = UnpackOutcome::Result::damaged;
        o.cause = e.cause;
    } catch (const CFileException& e) {
        // The reader's own file is the archive; every other is the output,
        // which the outcome names by outPath, never by its new file's name.
        const bool archive = e.path == archivePath;
        o.result = archive ? UnpackOutcome::Result::unreadable : UnpackOutcome::Result::outputFailed;
        o.osError = e.osError;
        o.operation = e.operation;
    }
    return o;
}

PackStepOutcome WritePackRecord(CPackReader& reader, const char* destDir, char* writeBuffer, size_t writeBufferSize) {
    using Result = PackStepOutcome::Result;
    PackStepOutcome o;
    const CPackReader::Status st = reader.ReadRecordHeader(o.info);
    if (st == CPackReader::end) {
        o.result = Result::packEnd;
        return o;
    }
    auto retryLater = [&](Result r, int osError = 0, CFileException::Operation op = CFileException::write) {
        reader.RewindRecord();
        o.result = r;
        o.osError = osError;
        o.operation = op;
        return o;
    };
    if (st != CPackReader::record) return retryLater(Result::damaged);
    if (!IsSafeRelativeName(o.info.name)) return retryLater(Result::refusedName);
    const std::string name = NativeName(o.info.name);
    if (!JoinPath(o.path, sizeof o.path, {destDir, kSep, name.c_str()})) return retryLater(Result::pathTooLong);

    // The record goes to a new file beside its target and takes its place
    // when complete.
    RemoveOnExit temp;
    {
        CFile created;
        try {
            temp.path = created.CreateBeside(o.path);
            created.Close();
        } catch (const CFileException& e) {
            return retryLater(Result::createFailed, e.osError, e.operation);
        }
    }
    UniqueStdioFile out(std::fopen(temp.path.c_str(), "wb"));
    if (!out) return retryLater(Result::createFailed, LastSystemError());
    if (writeBuffer && writeBufferSize) std::setvbuf(out.get(), writeBuffer, _IOFBF, writeBufferSize);

    bool outputFailed = false;
    if (!reader.CopyData(out.get(), o.info.length, &outputFailed)) {
        const int err = LastSystemError();
        out.reset();
        return retryLater(outputFailed ? Result::writeFailed : Result::damaged, outputFailed ? err : 0);
    }
    if (std::fflush(out.get()) != 0 || std::ferror(out.get())) {
        const int err = LastSystemError();
        out.reset();
        return retryLater(Result::writeFailed, err);
    }
    if (std::fclose(out.release()) != 0) return retryLater(Result::writeFailed, LastSystemError());
    try {
        CFile::MoveOver(temp.path, o.path);
    } catch (const CFileException& e) {
        return retryLater(Result::writeFailed, e.osError, e.operation);
    }
    temp.path.clear();
    o.result = Result::written;
    try {
        CFile::SetModifiedTime(o.path, pack::DosTimeToLocal(o.info.dosTime));
    } catch (const CFileException& e) {
        o.result = Result::stampFailed;
        o.osError = e.osError;
        o.operation = e.operation;
    }
    return o;
}

}  // namespace engine
