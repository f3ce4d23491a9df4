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
#include "fw/File.h"
#include "setupkit/lib/PackWriter.h"
#include "setupkit/lib/ParallelDeflate.h"
#include "setupkit/lib/ZipWriter.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kBlockSize = 1 << 20;
constexpr size_t kSubDirValue = 20;    // [SubDir] Dir<i> buffer
constexpr int kMaxSubDirs = 999;

std::string FolderOf(const std::string& installPath) {
    size_t slash = installPath.rfind('\\');
    return slash == std::string::npos ? std::string() : installPath.substr(0, slash);
}
std::string LeafOf(const std::string& installPath) {
    size_t slash = installPath.rfind('\\');
    return slash == std::string::npos ? installPath : installPath.substr(slash + 1);
}
std::string DirValue(const std::string& folder) { return folder.empty() ? "." : folder; }

// A unit of the plan: one archive.
struct Unit {
    BuiltArchive out;
    std::vector<const PayloadFile*> files;
    std::string packFolder;  // records are named relative to it
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
        if (spelling.size() > kSubDirValue - 1)
            throw PackageError("folder \"" + spelling + "\" has " + std::to_string(spelling.size()) +
                               " characters; the setup creates folders named by at most " +
                               std::to_string(kSubDirValue - 1) + " characters ([SubDir]); use shorter folder names");
        out.push_back(spelling);
    }
    if (out.size() > kMaxSubDirs)
        throw PackageError("the payload needs " + std::to_string(out.size()) + " folders; the setup creates at most 999");
    return out;
}

// The largest pack stream that surely fits an empty disk once deflated and
// wrapped in an archive (deflate's worst case adds a little to stored data).
uint64_t PackLimit(uint64_t diskSize) {
    uint64_t blocks = diskSize / kBlockSize + 2;
    uint64_t overhead = diskSize / 2048 + 18 * blocks + 1024;
    uint64_t limit = diskSize > overhead ? diskSize - overhead : 0;
    return std::min<uint64_t>(limit, 0xFFFF0000ull);
}

std::vector<Unit> Plan(const Package& pkg, uint64_t diskSize, const std::optional<LocalTime>& sourceDate) {
    NameMaker names(pkg);
    std::vector<Unit> units;
    for (const PayloadFile& f : pkg.files) {
        if (f.pack >= 0) continue;
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
    const uint64_t limit = PackLimit(diskSize);
    for (size_t p = 0; p < pkg.packs.size(); ++p) {
        const std::string& folder = pkg.packs[p];
        std::string hint = folder.empty() ? "files" : LeafOf(folder);
        Unit* cur = nullptr;
        int count = 0;
        for (const PayloadFile& f : pkg.files) {
            if (f.pack != static_cast<int>(p)) continue;
            std::string rec = folder.empty() ? f.installPath : f.installPath.substr(folder.size() + 1);
            try {
                CPackWriter::CheckedName(rec);
            } catch (const CPackException& e) {
                throw PackageError("\"" + f.installPath + "\" cannot travel in a pack of folder \"" + folder +
                                   "\": " + e.GetErrorMessage() + " (shorten the name or list a deeper Pack folder)");
            }
            uint64_t recBytes = rec.size() + 1 + 8 + f.size;
            if (!cur || count == pack::kMaxRecords || (cur->streamBytes + recBytes > limit && count > 0)) {
                units.emplace_back();
                cur = &units.back();
                cur->packFolder = folder;
                cur->out.isPack = true;
                cur->out.dir = DirValue(folder);
                cur->out.name = names.Make(hint, folder);
                cur->out.entry = cur->out.name + ".pak";
                cur->dosTime = sourceDate ? pack::LocalToDosTime(*sourceDate) : 0;
                cur->streamBytes = 4;
                count = 0;
            }
            cur->files.push_back(&f);
            cur->out.files.push_back(f.installPath);
            // A pack is as new as the newest file it holds.
            if (!sourceDate) cur->dosTime = std::max(cur->dosTime, f.dosTime);
            cur->streamBytes += recBytes;
            ++count;
        }
        if (!cur) {
            // An empty pack folder still gets its folder (FoldersToCreate).
        }
    }
    return units;
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
    Feeder(CParallelDeflater& d, const BuildOptions& o, uint64_t total) : d_(d), o_(o), total_(total) {
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
    uint64_t done_ = 0;
    std::vector<unsigned char> buffer_;
};

void Compress(std::vector<Unit>& units, const std::string& staging, const BuildOptions& o, uint64_t total) {
    CParallelDeflater deflater(6, o.threads, kBlockSize);
    Feeder feed(deflater, o, total);
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
                const std::string name =
                    u.packFolder.empty() ? f->installPath : f->installPath.substr(u.packFolder.size() + 1);
                const std::string rec = pack::EncodeRecordHeader(name, static_cast<uint32_t>(f->size), f->dosTime);
                feed.Bytes(rec.data(), rec.size());
                feed.File(*f);
            }
        }
        deflater.EndStream();
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
        kv("Dest" + n, DirValue(packs[i]->packFolder));
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
    std::vector<Unit> units = Plan(pkg, disk, options.sourceDate);

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

    uint64_t total = 0;
    for (const PayloadFile& f : pkg.files) total += f.size;
    Compress(units, staging.string(), options, total);

    for (const Unit& u : units) {
        if (u.out.size <= disk) continue;
        fs::remove_all(staging);
        if (u.files.size() == 1)
            throw PackageError("payload file \"" + u.files[0]->installPath + "\" (" + std::to_string(u.files[0]->size) +
                               " bytes) does not fit on a disk: its archive has " + std::to_string(u.out.size) +
                               " bytes and a disk holds " + std::to_string(disk) +
                               "; choose a larger --disk-size (a file is never split across disks)");
        throw PackageError("pack archive " + u.out.name + " does not fit on a disk");
    }

    // Disk layout, first fit; disk 1 also carries setup.exe and morlan.ini,
    // whose size depends on the layout: start with an estimate and repeat
    // until it holds.
    std::vector<Unit*> order;
    std::string ini;
    int diskCount = 0;
    for (uint64_t iniReserve = 4096;;) {
        if (setupSize + iniReserve >= disk)
            throw PackageError("setup.exe and morlan.ini leave no room on disk 1; choose a larger --disk-size");
        std::vector<uint64_t> used;
        auto room = [&](size_t d) { return disk - (d == 0 ? setupSize + iniReserve : 0); };
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
