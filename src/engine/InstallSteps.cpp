#include "engine/InstallSteps.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/Paths.h"
#include "engine/ZipUnpacker.h"
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
    if (!JoinPath(out.src, sizeof out.src, {sourceDir, "\\", name, ".zip"})) {
        *bad = name;
        return ComposeResult::tooLong;
    }
    if (!JoinPath(out.destFolder, sizeof out.destFolder, {installDir, "\\", dir}) ||
        !JoinPath(out.dst, sizeof out.dst, {out.destFolder, "\\", name, ".zip"})) {
        *bad = name;
        return ComposeResult::tooLong;
    }
    return ComposeResult::ok;
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

UnpackOutcome UnpackFirstEntry(const char* archivePath) {
    UnpackOutcome o;
    CZipUnpacker zip(archivePath);
    zip.GoToFirstEntry();
    ZipEntryInfo info;
    zip.GetCurrentEntryInfo(&info, nullptr, 0);
    std::vector<char> name(info.nameLength + 1, 0);
    zip.GetCurrentEntryInfo(&info, name.data(), static_cast<unsigned>(name.size()));
    o.entryName = name.data();
    if (!IsSafeRelativeName(o.entryName)) {
        o.result = UnpackOutcome::refusedName;
        return o;
    }
    // The drive and folder part of the archive's path, separator included.
    const std::string archive = archivePath;
    const size_t cut = archive.find_last_of("\\/");
    const std::string folder = cut == std::string::npos ? std::string() : archive.substr(0, cut + 1);
    if (!JoinPath(o.outPath, sizeof o.outPath, {folder.c_str(), o.entryName.c_str()})) {
        o.result = UnpackOutcome::pathTooLong;
        return o;
    }
    // A local header that disagrees fails here, before anything is written.
    zip.OpenCurrentEntry();
    // The entry goes to a new file beside its target, which takes the
    // target's place only once the CRC has matched: a damaged entry never
    // replaces a good file nor leaves a file behind that looks installed.
    RemoveOnExit temp;
    CFile out;  // closed before temp is removed
    temp.path = out.CreateBeside(o.outPath);
    // Read in 1024-byte pieces; write in larger blocks.
    std::vector<char> staging(64 * 1024);
    size_t used = 0;
    for (;;) {
        if (staging.size() - used < 1024) {
            out.Write(staging.data(), static_cast<unsigned>(used));
            used = 0;
        }
        const unsigned got = zip.ReadCurrentEntry(staging.data() + used, 1024);
        used += got;
        if (got < 1024) break;
    }
    if (used) out.Write(staging.data(), static_cast<unsigned>(used));
    out.Close();
    zip.CloseArchive();  // the CRC check
    CFile::MoveOver(temp.path, o.outPath);
    temp.path.clear();
    // Times after the rename: a file system may carry the replaced file's
    // creation time over to the name.
    CZipUnpacker::ApplyEntryStatus(o.outPath, info);
    return o;
}

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// Closes the stream and removes the file: a record that was not written
// completely never stays behind looking complete.
void Discard(UniqueStdioFile& out, const char* path) {
    out.reset();
    std::remove(path);
}

}  // namespace

PackStepOutcome WritePackRecord(CPackReader& reader, const char* destDir, char* writeBuffer,
                                size_t writeBufferSize) {
    PackStepOutcome o;
    const CPackReader::Status st = reader.ReadRecordHeader(o.info);
    if (st == CPackReader::end) {
        o.result = PackStepOutcome::packEnd;
        return o;
    }
    auto retryLater = [&](PackStepOutcome::Result r) {
        reader.RewindRecord();
        o.result = r;
        return o;
    };
    if (st != CPackReader::record) return retryLater(PackStepOutcome::damaged);

    // The name is shown with the separator it is stored with.
    if (!IsSafeRelativeName(o.info.name)) return retryLater(PackStepOutcome::refusedName);
    if (!JoinPath(o.path, sizeof o.path, {destDir, "\\", o.info.name}))
        return retryLater(PackStepOutcome::pathTooLong);

    std::string target = o.path;
    if (kSeparator != '\\') std::replace(target.begin() + static_cast<std::ptrdiff_t>(std::strlen(destDir)),
                                         target.end(), '\\', kSeparator);
    const uint32_t oldAttributes = CFile::ClearForReplace(target);
    UniqueStdioFile out(std::fopen(target.c_str(), "wb"));
    if (!out) {
        if (oldAttributes) CFile::SetAttributes(target, oldAttributes);
        return retryLater(PackStepOutcome::createFailed);
    }
    if (writeBuffer && writeBufferSize) std::setvbuf(out.get(), writeBuffer, _IOFBF, writeBufferSize);

    bool outputFailed = false;
    if (!reader.CopyData(out.get(), o.info.length, &outputFailed)) {
        Discard(out, target.c_str());
        return retryLater(outputFailed ? PackStepOutcome::writeFailed : PackStepOutcome::damaged);
    }
    if (std::fflush(out.get()) != 0 || std::ferror(out.get())) {
        Discard(out, target.c_str());
        return retryLater(PackStepOutcome::writeFailed);
    }
    if (std::fclose(out.release()) != 0) {
        std::remove(target.c_str());
        return retryLater(PackStepOutcome::writeFailed);
    }
    o.result = PackStepOutcome::written;
    CFile::SetModifiedTime(target, pack::DosTimeToLocal(o.info.dosTime));
    return o;
}

}  // namespace engine
