#include "setupkit/lib/MediumBuild.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cctype>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "config/Paths.h"
#include "config/Sizes.h"
#include "fw/File.h"
#include "setupkit/lib/MediumCheck.h"
#include "setupkit/lib/PackWriter.h"
#include "setupkit/lib/ParallelDeflate.h"
#include "setupkit/lib/ZipWriter.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kBlockSize = 1 << 20;

std::string LeafOf(const std::string& installPath) {
    size_t slash = installPath.rfind('\\');
    return slash == std::string::npos ? installPath : installPath.substr(slash + 1);
}
std::string DirValue(const std::string& folder) { return folder.empty() ? "." : folder; }

// A unit of the plan: one archive.
struct Unit {
    BuiltArchive out;
    std::vector<const PayloadFile*> files;
    uint32_t dosTime = 0;
    uint32_t attributes = kZipAttrArchive;
    uint64_t streamBytes = 0;  // uncompressed bytes of the entry
};

// Archive names: short, plain, unique without regard to case, and not the
// name of a file the medium installs in the archive's folder (the setup
// copies name.zip there, and a pack file lands there too).
class NameMaker {
public:
    explicit NameMaker(const Package& pkg) {
        for (const PayloadFile& f : pkg.files) installed_.insert(LowerAscii(f.installPath));
    }
    std::string Make(const std::string& hint, const std::string& dir) {
        std::string base;
        for (char c : hint) {
            if (c == '.') break;
            if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') base += c;
            if (base.size() == 12) break;
        }
        if (base.empty()) base = "data";
        for (int n = 1;; ++n) {
            std::string name = n == 1 ? base : base + std::to_string(n);
            std::string lower = LowerAscii(name);
            std::string prefix = dir.empty() ? "" : LowerAscii(dir) + "\\";
            if (used_.count(lower) || installed_.count(prefix + lower + ".zip") || installed_.count(prefix + lower + ".pak"))
                continue;
            used_.insert(lower);
            return name;
        }
    }

private:
    std::set<std::string> used_, installed_;
};

// The folders the setup must create, parents first, each one level below
// one created before it (or below the installation folder).
std::vector<std::string> FoldersToCreate(const Package& pkg) {
    std::map<std::string, std::string> all;  // lower -> spelling
    auto addWithParents = [&](const std::string& folder) {
        std::string f = folder;
        while (!f.empty()) {
            all.emplace(LowerAscii(f), f);
            f = FolderOf(f);
        }
    };
    for (const PayloadFile& f : pkg.files) addWithParents(FolderOf(f.installPath));
    for (const std::string& p : pkg.packs) addWithParents(p);
    for (const std::string& p : pkg.extraFolders) addWithParents(p);
    // Sorting the lower-case names with '\' below every other character puts
    // each parent right before its children.
    std::vector<std::pair<std::string, std::string>> list(all.begin(), all.end());
    auto key = [](std::string s) {
        for (char& c : s)
            if (c == '\\') c = '\x01';
        return s;
    };
    std::sort(list.begin(), list.end(), [&](const auto& a, const auto& b) { return key(a.first) < key(b.first); });
    std::vector<std::string> out;
    for (auto& [lower, spelling] : list) {
        if (spelling.size() > sizes::kName - 1)
            throw PackageError("folder \"" + spelling + "\" has " + std::to_string(spelling.size()) +
                               " characters; the setup creates folders named by at most " +
                               std::to_string(sizes::kName - 1) + " characters ([SubDir]); use shorter folder names");
        out.push_back(spelling);
    }
    if (out.size() > static_cast<size_t>(sizes::kMaxNumberedEntries))
        throw PackageError("the payload needs " + std::to_string(out.size()) + " folders; the setup creates at most " + std::to_string(sizes::kMaxNumberedEntries));
    return out;
}

// The largest an archive of a pack stream of `stream` bytes can be: deflate
// may store incompressible data, which adds a few bytes a block, and the
// archive adds its headers.
uint64_t WorstArchiveSize(uint64_t stream) {
    return stream + stream / 2048 + 18 * (stream / kBlockSize + 2) + 1024;
}
constexpr uint64_t kMaxPackStream = 0xFFFF0000ull;  // the archive's 32-bit sizes, with room for its headers

uint64_t RecordBytes(const PayloadFile& f) { return f.installPath.size() + 1 + 8 + f.size; }

// Whether a file must travel in an archive of its own rather than in a pack.
// A pack record carries a name, a length and a time; the setup writes the
// file with normal attributes, so a read-only, hidden or system file needs
// the archive entry's attributes. The packs land in the installation folder,
// so the record's name is the whole installed path, which must fit the
// record's name field and, behind the default folder, the setup's record path
// buffer. A file too large for a pack on an empty disk may still fit once
// deflated alone.
bool TravelsAlone(const PayloadFile& f, const std::string& defaultFolder, uint64_t diskSize) {
    if (f.attributes & (kZipAttrReadOnly | kZipAttrHidden | kZipAttrSystem)) return true;
    if (f.installPath.size() > pack::kMaxNameLength) return true;
    try {
        CPackWriter::CheckedName(f.installPath);
    } catch (const CPackException&) {
        return true;
    }
    const size_t target = defaultFolder.size() + 1 + DirValue("").size() + 1 + f.installPath.size();
    if (target >= sizes::kRecordPath) return true;
    const uint64_t stream = 4 + RecordBytes(f);
    return stream > kMaxPackStream || WorstArchiveSize(stream) > diskSize;
}

// One archive for every file that travels alone.
std::vector<Unit> PlanAlone(const Package& pkg, uint64_t diskSize, NameMaker& names) {
    std::vector<Unit> units;
    for (const PayloadFile& f : pkg.files) {
        if (!TravelsAlone(f, pkg.folder, diskSize)) continue;
        Unit u;
        u.out.dir = DirValue(FolderOf(f.installPath));
        u.out.entry = LeafOf(f.installPath);
        u.out.name = names.Make(u.out.entry, FolderOf(f.installPath));
        u.out.files = {f.installPath};
        u.files = {&f};
        u.dosTime = f.dosTime;
        u.attributes = f.attributes;
        u.streamBytes = f.size;
        units.push_back(std::move(u));
    }
    return units;
}

// The packs for every other file, in the installation folder itself: as few
// as the disks allow, each as large as the room left on its disk (`used`,
// the bytes the archives of their own take on each disk, grows as packs are
// planned). A pack is closed when its worst-case archive would not fit that
// room or it holds the most records a pack header counts.
std::vector<Unit> PlanPacks(const Package& pkg, const std::function<uint64_t(size_t)>& room,
                            std::vector<uint64_t>& used, NameMaker& names, uint64_t diskSize,
                            const std::optional<LocalTime>& sourceDate) {
    std::vector<Unit> units;
    std::vector<size_t> diskOf;
    size_t d = 0;
    auto left = [&](size_t disk) {
        while (used.size() <= disk) used.push_back(0);
        return room(disk) > used[disk] ? room(disk) - used[disk] : 0;
    };
    int count = 0;
    for (const PayloadFile& f : pkg.files) {
        if (TravelsAlone(f, pkg.folder, diskSize)) continue;
        const uint64_t rec = RecordBytes(f);
        Unit* cur = units.empty() ? nullptr : &units.back();
        if (cur && count < pack::kMaxRecords && cur->streamBytes + rec <= kMaxPackStream &&
            WorstArchiveSize(cur->streamBytes + rec) - WorstArchiveSize(cur->streamBytes) <= left(d)) {
            used[d] += WorstArchiveSize(cur->streamBytes + rec) - WorstArchiveSize(cur->streamBytes);
        } else {
            // A new pack, on the first disk from here with room for this record.
            while (WorstArchiveSize(4 + rec) > left(d)) ++d;
            units.emplace_back();
            cur = &units.back();
            cur->out.isPack = true;
            cur->out.dir = DirValue("");
            cur->out.name = names.Make("files", "");
            cur->out.entry = cur->out.name + ".pak";
            cur->dosTime = sourceDate ? pack::LocalToDosTime(*sourceDate) : 0;
            cur->streamBytes = 4;
            used[d] += WorstArchiveSize(4 + rec);
            count = 0;
        }
        cur->files.push_back(&f);
        cur->out.files.push_back(f.installPath);
        // A pack is as new as the newest file it holds.
        if (!sourceDate) cur->dosTime = std::max(cur->dosTime, f.dosTime);
        cur->streamBytes += rec;
        ++count;
    }
    return units;
}

// First fit of the archives on disks, in order; room(d) is what disk d
// (0-based) holds. Returns the bytes used on each disk.
std::vector<uint64_t> FirstFit(std::vector<Unit>& units, const std::function<uint64_t(size_t)>& room) {
    std::vector<uint64_t> used;
    for (Unit& u : units) {
        size_t d = 0;
        while (d < used.size() && used[d] + u.out.size > room(d)) ++d;
        while (d >= used.size()) {
            used.push_back(0);
            if (u.out.size > room(used.size() - 1)) d = used.size();  // a fresh disk 1 may be too small
        }
        used[d] += u.out.size;
        u.out.disk = static_cast<int>(d) + 1;
    }
    return used;
}

// Receives one archive's compressed entry.
class ArchiveSink : public IDeflateSink {
public:
    ArchiveSink(Unit& unit, const std::string& path) : unit_(unit) {
        zip_.Create(path);
        ZipEntryHeader h;
        h.name = unit.out.entry;
        h.dosDateTime = unit.dosTime;
        h.externalAttributes = unit.attributes;
        h.method = 8;
        zip_.BeginEntry(h);
    }
    void OnCompressed(const void* data, size_t size) override { zip_.WriteData(data, size); }
    void OnStreamEnd(uint32_t crc, uint64_t size) override {
        zip_.EndEntry(crc, size);
        unit_.out.size = zip_.Finish();
        unit_.out.payloadBytes = size;
    }

private:
    Unit& unit_;
    CZipWriter zip_;
};

class Feeder {
public:
    Feeder(CParallelDeflater& d, const BuildOptions& o, uint64_t done, uint64_t total)
        : d_(d), o_(o), total_(total), done_(done) {
        buffer_.resize(kBlockSize);
    }
    void Bytes(const void* p, size_t n) { d_.Write(p, n); }
    void File(const PayloadFile& f) {
        UniqueStdioFile in(std::fopen(f.sourcePath.c_str(), "rb"));
        if (!in) throw PackageError(f.sourcePath + ": cannot open: " + std::strerror(errno));
        uint64_t got = 0;
        for (;;) {
            size_t n = std::fread(buffer_.data(), 1, buffer_.size(), in.get());
            if (n == 0) break;
            got += n;
            if (got > f.size) break;
            d_.Write(buffer_.data(), n);
            done_ += n;
            if (o_.progress) o_.progress(done_, total_);
        }
        if (std::ferror(in.get())) throw PackageError(f.sourcePath + ": read error");
        if (got != f.size) throw PackageError(f.sourcePath + ": the file changed its size while the medium was built");
    }

private:
    CParallelDeflater& d_;
    const BuildOptions& o_;
    uint64_t total_;
    uint64_t done_;
    std::vector<unsigned char> buffer_;
};

// Compresses the units' archives into the staging folder; `done` counts the
// payload bytes read so far, for the progress report.
void Compress(std::vector<Unit>& units, const std::string& staging, const BuildOptions& o, uint64_t& done,
              uint64_t total) {
    CParallelDeflater deflater(6, o.threads, kBlockSize);
    Feeder feed(deflater, o, done, total);
    std::vector<std::unique_ptr<ArchiveSink>> sinks;
    for (Unit& u : units) {
        sinks.push_back(std::make_unique<ArchiveSink>(u, (fs::path(staging) / (u.out.name + ".zip")).string()));
        deflater.BeginStream(sinks.back().get());
        if (!u.out.isPack) {
            feed.File(*u.files[0]);
        } else {
            const std::string head = pack::EncodeHeader(static_cast<int>(u.files.size()));
            feed.Bytes(head.data(), head.size());
            for (const PayloadFile* f : u.files) {
                const std::string rec = pack::EncodeRecordHeader(f->installPath, static_cast<uint32_t>(f->size), f->dosTime);
                feed.Bytes(rec.data(), rec.size());
                feed.File(*f);
            }
        }
        deflater.EndStream();
        for (const PayloadFile* f : u.files) done += f->size;
    }
    deflater.Flush();
}

std::string IniText(const Package& pkg, const std::vector<std::string>& folders, const std::vector<Unit*>& order,
                    int diskCount) {
    std::string s;
    auto line = [&](const std::string& l) { s += l + "\r\n"; };
    auto kv = [&](const std::string& k, const std::string& v) { line(k + "=" + v); };
    line("[Software]");
    kv("Version", pkg.caption);
    kv("Name", pkg.name);
    line("");
    line("[Dir]");
    kv("Dest", pkg.folder);
    line("");
    line("[SubDir]");
    kv("Number", std::to_string(folders.size()));
    for (size_t i = 0; i < folders.size(); ++i) kv("Dir" + std::to_string(i + 1), folders[i]);
    line("");
    line("[Language]");
    kv("Number", std::to_string(pkg.languages.size()));
    for (size_t i = 0; i < pkg.languages.size(); ++i) kv("Descrip" + std::to_string(i + 1), pkg.languages[i].first);
    if (pkg.languages.empty()) {
        kv("File1", "Default");  // the single entry "English" uses File1
    } else {
        for (size_t i = 0; i < pkg.languages.size(); ++i) kv("File" + std::to_string(i + 1), pkg.languages[i].second);
    }
    kv("DestFile", pkg.languageLibrary);
    line("");
    line("[Disk]");
    kv("Number", std::to_string(diskCount));
    uint64_t total = 0;
    for (const Unit* u : order) total += u->out.size;
    uint64_t sum = 0;
    size_t at = 0;
    for (int d = 1; d <= diskCount; ++d) {
        line("");
        line("[Disk" + std::to_string(d) + "]");
        std::vector<const Unit*> here;
        for (; at < order.size() && order[at]->out.disk == d; ++at) here.push_back(order[at]);
        kv("Number", std::to_string(here.size()));
        for (size_t k = 0; k < here.size(); ++k) {
            sum += here[k]->out.size;
            uint64_t percent = (d == diskCount && k + 1 == here.size()) ? 100 : sum * 100 / total;
            std::string n = std::to_string(k + 1);
            kv("File" + n, here[k]->out.name);
            kv("Dir" + n, here[k]->out.dir);
            kv("Percent" + n, std::to_string(percent));
        }
    }
    line("");
    line("[Remove]");
    std::vector<const Unit*> packs;
    for (const Unit* u : order)
        if (u->out.isPack) packs.push_back(u);
    kv("Number", std::to_string(packs.size()));
    for (size_t i = 0; i < packs.size(); ++i) {
        std::string n = std::to_string(i + 1);
        kv("Dir" + n, packs[i]->out.dir);
        kv("File" + n, packs[i]->out.entry);
        kv("Dest" + n, DirValue(""));
    }
    line("");
    line("[DelFile]");
    kv("Number", std::to_string(pkg.deleteFiles.size()));
    for (size_t i = 0; i < pkg.deleteFiles.size(); ++i) kv("File" + std::to_string(i + 1), pkg.deleteFiles[i]);
    line("");
    line("[Programmer]");
    kv("Type", std::to_string(pkg.programmerType));
    line("");
    line("[SystemFile]");
    kv("Number", std::to_string(pkg.systemFiles.size()));
    for (size_t i = 0; i < pkg.systemFiles.size(); ++i) {
        kv("File" + std::to_string(i + 1), pkg.systemFiles[i].first);
        kv("Dir" + std::to_string(i + 1), pkg.systemFiles[i].second);
    }
    line("");
    line("[RegIni]");
    kv("VID", pkg.vid);
    kv("PID", pkg.pid);
    line("");
    line("[Shortcut]");
    kv("Descript1", pkg.shortcutDescription);
    kv("Descript2", pkg.shortcutName);
    kv("Ico", pkg.shortcutIcon);
    line("");
    line("[Exec]");
    kv("ExecFile", pkg.program);
    kv("ExecDir", pkg.openFolder);
    return s;
}

bool IsDiskFolderName(const std::string& n) {
    if (n.size() < 5 || LowerAscii(n.substr(0, 4)) != "disk") return false;
    return std::all_of(n.begin() + 4, n.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Removes the disk folders of an earlier build, refusing folders that hold
// anything a build does not write.
void ClearOldMedium(const fs::path& out) {
    std::error_code ec;
    if (!fs::exists(out, ec)) return;
    if (!fs::is_directory(out, ec)) throw PackageError(out.string() + " exists and is not a folder");
    std::vector<fs::path> old;
    for (const auto& e : fs::directory_iterator(out)) {
        std::string n = e.path().filename().string();
        if (!IsDiskFolderName(n) || !e.is_directory()) continue;
        for (const auto& f : fs::directory_iterator(e.path())) {
            std::string fn = LowerAscii(f.path().filename().string());
            bool ours = f.is_regular_file() && (fn == "morlan.ini" || fn == "setup.exe" ||
                                                (fn.size() > 4 && fn.compare(fn.size() - 4, 4, ".zip") == 0));
            if (!ours)
                throw PackageError(f.path().string() + " is not part of a medium this tool wrote; " +
                                   "remove it or choose another output folder");
        }
        old.push_back(e.path());
    }
    for (const fs::path& p : old) fs::remove_all(p);
}

bool Before(const LocalTime& a, const LocalTime& b) {
    return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) <
           std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
}

// The newest time among the payload files, the package file and setup.exe.
LocalTime NewestInput(const Package& pkg, const std::string& setupExe) {
    LocalTime newest;
    for (const PayloadFile& f : pkg.files) {
        const LocalTime t = pack::DosTimeToLocal(f.dosTime);
        if (Before(newest, t)) newest = t;
    }
    for (const std::string& path : {pkg.path, setupExe}) {
        LocalTime t;
        if (!path.empty() && CFile::GetModifiedTime(path, t) && Before(newest, t)) newest = t;
    }
    return newest;
}

}  // namespace

bool ParseSourceDateEpoch(const std::string& text, LocalTime& t, std::string& error) {
    error = "SOURCE_DATE_EPOCH=\"" + text + "\" is not a number of seconds since 1970";
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const std::time_t when = static_cast<std::time_t>(std::stoll(text));
    std::tm tm{};
#ifdef _WIN32
    if (localtime_s(&tm, &when) != 0) return false;
#else
    if (!localtime_r(&when, &tm)) return false;
#endif
    t = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    error.clear();
    return true;
}

bool ParseDiskSize(const std::string& text, uint64_t& bytes, std::string& error) {
    std::string t = LowerAscii(text);
    if (t == "floppy") {
        bytes = 1457664;
        return true;
    }
    if (t == "cd") t = "650m";
    if (t == "dvd") t = "4480m";
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    std::string suffix = end ? std::string(end) : std::string();
    double mult = 1;
    if (suffix == "k" || suffix == "kb" || suffix == "kib") mult = 1024;
    else if (suffix == "m" || suffix == "mb" || suffix == "mib") mult = 1024.0 * 1024;
    else if (suffix == "g" || suffix == "gb" || suffix == "gib") mult = 1024.0 * 1024 * 1024;
    else if (!suffix.empty() || t.empty()) {
        error = "disk size \"" + text + "\" is not a number with an optional K, M or G, nor floppy, cd or dvd";
        return false;
    }
    double b = std::floor(v * mult);
    if (!(b >= 16384)) {
        error = "disk size \"" + text + "\" is below 16K";
        return false;
    }
    bytes = b >= 4294901760.0 ? 4294901760ull : static_cast<uint64_t>(b);
    return true;
}

BuildResult BuildMedium(const Package& pkg, const std::string& outDir, const BuildOptions& options) {
    const uint64_t disk = options.diskSize;
    const std::vector<std::string> folders = FoldersToCreate(pkg);
    NameMaker names(pkg);
    std::vector<Unit> units = PlanAlone(pkg, disk, names);

    uint64_t setupSize = 0;
    if (!options.setupExe.empty()) {
        std::error_code ec;
        setupSize = fs::file_size(options.setupExe, ec);
        if (ec) throw PackageError(options.setupExe + ": cannot read setup.exe: " + ec.message());
        if (setupSize + 4096 >= disk)
            throw PackageError(options.setupExe + " (" + std::to_string(setupSize) + " bytes) leaves no room on a disk of " +
                               std::to_string(disk) + " bytes");
    }

    const fs::path out(outDir);
    {
        // The output must not land in the payload it is made of.
        std::error_code ec;
        const fs::path o = fs::weakly_canonical(fs::absolute(out), ec);
        for (const PayloadFile& f : pkg.files) {
            fs::path src = fs::weakly_canonical(fs::absolute(f.sourcePath), ec);
            auto [a, b] = std::mismatch(o.begin(), o.end(), src.begin(), src.end());
            if (a == o.end()) throw PackageError("the output folder " + outDir + " lies inside the payload (" + f.sourcePath + ")");
        }
    }
    ClearOldMedium(out);
    fs::create_directories(out);
    const fs::path staging = out / ".setupkit-staging";
    fs::remove_all(staging);
    fs::create_directories(staging);

    uint64_t total = 0, done = 0;
    for (const PayloadFile& f : pkg.files) total += f.size;
    // The files that travel alone first: their archives' sizes decide how
    // much room each disk leaves for the packs.
    Compress(units, staging.string(), options, done, total);
    for (const Unit& u : units) {
        if (u.out.size <= disk) continue;
        fs::remove_all(staging);
        throw PackageError("payload file \"" + u.files[0]->installPath + "\" (" + std::to_string(u.files[0]->size) +
                           " bytes) does not fit on a disk: its archive has " + std::to_string(u.out.size) +
                           " bytes and a disk holds " + std::to_string(disk) +
                           "; choose a larger --disk-size (a file is never split across disks)");
    }
    // Room for morlan.ini on disk 1: what the archives of their own need,
    // with a margin for the packs' lines.
    uint64_t iniReserve = 2048;
    {
        std::vector<Unit*> all;
        for (Unit& u : units) {
            u.out.disk = 1;
            all.push_back(&u);
        }
        iniReserve += IniText(pkg, folders, all, 1).size();
    }
    if (setupSize + iniReserve >= disk)
        throw PackageError("setup.exe and morlan.ini leave no room on disk 1; choose a larger --disk-size");
    {
        auto room = [&](size_t d) { return disk - (d == 0 ? setupSize + iniReserve : 0); };
        std::vector<uint64_t> used = FirstFit(units, room);
        std::vector<Unit> packs = PlanPacks(pkg, room, used, names, disk, options.sourceDate);
        Compress(packs, staging.string(), options, done, total);
        for (Unit& p : packs) units.push_back(std::move(p));
    }
    for (const Unit& u : units) {
        if (u.out.size <= disk) continue;
        fs::remove_all(staging);
        throw PackageError("pack archive " + u.out.name + " does not fit on a disk");
    }

    // Disk layout, first fit; disk 1 also carries setup.exe and morlan.ini,
    // whose size depends on the layout: start with the estimate and repeat
    // until it holds.
    std::vector<Unit*> order;
    std::string ini;
    int diskCount = 0;
    for (;;) {
        if (setupSize + iniReserve >= disk)
            throw PackageError("setup.exe and morlan.ini leave no room on disk 1; choose a larger --disk-size");
        auto room = [&](size_t d) { return disk - (d == 0 ? setupSize + iniReserve : 0); };
        std::vector<uint64_t> used = FirstFit(units, room);
        if (used[0] == 0)
            throw PackageError("disk 1 has no room for any archive beside setup.exe and morlan.ini; choose a larger --disk-size");
        diskCount = static_cast<int>(used.size());
        order.clear();
        for (int d = 1; d <= diskCount; ++d)
            for (Unit& u : units)
                if (u.out.disk == d) order.push_back(&u);
        ini = IniText(pkg, folders, order, diskCount);
        if (ini.size() <= iniReserve) break;
        iniReserve = ini.size() + 1024;
    }

    BuildResult result;
    result.diskCount = diskCount;
    for (int d = 1; d <= diskCount; ++d) {
        fs::path dir = out / ("disk" + std::to_string(d));
        fs::create_directories(dir);
        result.diskDirs.push_back(dir.string());
    }
    for (Unit* u : order) {
        fs::rename(staging / (u->out.name + ".zip"), fs::path(result.diskDirs[u->out.disk - 1]) / (u->out.name + ".zip"));
        result.archives.push_back(u->out);
    }
    fs::remove_all(staging);
    {
        std::string iniPath = (fs::path(result.diskDirs[0]) / "morlan.ini").string();
        CFile f(iniPath.c_str(), CFile::modeWrite | CFile::modeCreate);
        f.Write(ini.data(), static_cast<unsigned>(ini.size()));
        f.Close();
    }
    if (!options.setupExe.empty())
        fs::copy_file(options.setupExe, fs::path(result.diskDirs[0]) / "setup.exe", fs::copy_options::overwrite_existing);
    // Every file and folder of the medium carries the build's time rather
    // than the clock's, so that copies and images of two builds compare equal.
    const LocalTime stamp = options.sourceDate ? *options.sourceDate : NewestInput(pkg, options.setupExe);
    for (const std::string& d : result.diskDirs) {
        for (const auto& e : fs::directory_iterator(d)) CFile::SetModifiedTime(e.path().string(), stamp);
        CFile::SetModifiedTime(d, stamp);
    }
    result.payloadBytes = total;
    return result;
}
