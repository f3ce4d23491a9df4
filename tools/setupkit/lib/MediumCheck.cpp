#include "setupkit/lib/MediumCheck.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "config/CodePage.h"
#include "config/Paths.h"
#include "config/Profile.h"
#include "fw/File.h"
#include "config/Sizes.h"
#include "engine/PackFile.h"
#include "engine/ZipUnpacker.h"
#include "setupkit/lib/Package.h"
#include "setupkit/lib/ZipDiagnosis.h"
#include "setupkit/lib/ZipWriter.h"
#include "wizard/PageRules.h"

namespace fs = std::filesystem;

int CheckReport::Errors() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const CheckFinding& f) { return f.error; }));
}
int CheckReport::Warnings() const { return static_cast<int>(findings.size()) - Errors(); }

std::string FindingText(const CheckFinding& f) {
    std::string s = f.file;
    if (f.line > 0) s += ":" + std::to_string(f.line);
    return s + ": " + (f.error ? "error: " : "warning: ") + f.message;
}

namespace {

std::string JsonString(const std::string& s) {
    std::string o = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            o += '\\';
            o += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            o += buf;
        } else {
            o += static_cast<char>(c);
        }
    }
    return o + "\"";
}

}  // namespace

std::string FindingsJson(const CheckReport& r) {
    std::string o = "{\"errors\":" + std::to_string(r.Errors()) + ",\"warnings\":" + std::to_string(r.Warnings()) +
                    ",\"findings\":[";
    for (size_t i = 0; i < r.findings.size(); ++i) {
        const CheckFinding& f = r.findings[i];
        if (i) o += ",";
        o += "\n {\"severity\":\"" + std::string(f.error ? "error" : "warning") + "\",\"file\":" + JsonString(f.file) +
             ",\"line\":" + std::to_string(f.line) + ",\"message\":" + JsonString(f.message) + "}";
    }
    return o + (r.findings.empty() ? "]}\n" : "\n]}\n");
}

namespace {

// How a text value's length matters when the setup cuts it.
enum class Kind {
    name,     // a file or folder name: a cut value names another file (error)
    display,  // a text shown to the user: a cut value is only shorter (warning)
};

// A folder or file path relative to the installation folder, as a key for
// comparisons: separators unified, "." parts dropped, lower case. Empty for
// the installation folder itself; "?" for names the setup must not use.
std::string Norm(std::string p) {
    if (!NormaliseInstallPath(p)) return "?";
    return LowerAscii(p);
}
std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder + "\\" + name;
}

struct ArchiveInfo {
    int disk = 0, index = 0, line = 0, dirLine = 0;
    std::string name, dir, dirNorm, entry, path;
    bool readable = false;
    uint32_t attributes = 0;
    uint64_t entrySize = 0, fileSize = 0;
};

class Checker {
public:
    Checker(const std::vector<std::string>& folders, const CheckOptions& o) : options_(o) { Resolve(folders); }
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    CheckReport Run() {
        if (disks_.empty()) return std::move(report_);
        iniLabel_ = (fs::path(disks_[0]) / "morlan.ini").string();
        iniPath_ = FindCaseless(disks_[0], "morlan.ini");
        if (iniPath_.empty()) {
            Error(0, "disk 1 holds no morlan.ini: the setup has nothing to install");
            return std::move(report_);
        }
        iniLabel_ = iniPath_;
        ini_ = LoadProfile(iniPath_.c_str());
        if (options_.expectSetupExe && FindCaseless(disks_[0], "setup.exe").empty())
            Warning(0, "disk 1 holds no setup.exe beside morlan.ini");

        Software();
        SubDirs();
        Languages();
        Removes();  // before the archives: they tell which archive delivers a pack
        Disks();
        Packs();
        DelFiles();
        Driver();
        ShortcutAndExec();
        LanguageFiles();
        Unread();
        UnusedArchives();
        std::stable_sort(report_.findings.begin(), report_.findings.end(),
                         [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
        return std::move(report_);
    }

private:
    // ------------------------------------------------------------ findings
    void Add(bool error, int line, const std::string& msg) { report_.findings.push_back({error, iniLabel_, line, msg}); }
    void Error(int line, const std::string& msg) { Add(true, line, msg); }
    void Warning(int line, const std::string& msg) { Add(false, line, msg); }

    // ------------------------------------------------------------ medium
    void Resolve(const std::vector<std::string>& folders) {
        std::error_code ec;
        for (const std::string& f : folders) {
            if (!fs::is_directory(f, ec)) {
                report_.findings.push_back({true, f, 0, "no such folder"});
                return;
            }
        }
        if (folders.size() == 1 && FindCaseless(folders[0], "morlan.ini").empty() &&
            fs::is_directory(fs::path(folders[0]) / "disk1", ec)) {
            for (int d = 1; fs::is_directory(fs::path(folders[0]) / ("disk" + std::to_string(d)), ec); ++d)
                disks_.push_back((fs::path(folders[0]) / ("disk" + std::to_string(d))).string());
        } else {
            disks_ = folders;
        }
        oneFolder_ = disks_.size() == 1;
    }

    // The file of that name in the folder, found without regard to case as
    // Windows would; empty when there is none.
    static std::string FindCaseless(const std::string& folder, const std::string& name) {
        std::error_code ec;
        fs::path exact = fs::path(folder) / name;
        if (fs::is_regular_file(exact, ec)) return exact.string();
        std::string want = LowerAscii(name);
        for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
            if (LowerAscii(it->path().filename().string()) == want && it->is_regular_file()) return it->path().string();
        return std::string();
    }

    // ------------------------------------------------------------ reading
    const ProfileEntry* Entry(const std::string& section, const std::string& key) {
        const ProfileEntry* e = ini_.FindEntry(section.c_str(), key.c_str());
        if (e) read_.insert(e);
        return e;
    }
    int LineOf(const std::string& section, const std::string& key) {
        if (const ProfileEntry* e = ini_.FindEntry(section.c_str(), key.c_str())) return e->line;
        if (const ProfileSection* s = ini_.FindSection(section.c_str())) return s->line;
        return 0;
    }
    // What the setup reads for a text key with a buffer of `size` bytes;
    // reports a value the setup would cut.
    std::string Text(const std::string& section, const std::string& key, unsigned size, Kind kind) {
        const ProfileEntry* e = Entry(section, key);
        std::vector<char> buf(size, 0);
        ReadProfileString(iniPath_.c_str(), section.c_str(), key.c_str(), buf.data(), size);
        std::string v(buf.data());
        if (e) {
            std::string whole = ProfileValueText(e, 1u << 20);
            if (whole.size() > v.size()) {
                std::string msg = "[" + section + "] " + key + " has " + std::to_string(whole.size()) +
                                  " characters; the setup reads at most " + std::to_string(size - 1) + " and cuts it to \"" +
                                  v + "\"";
                if (kind == Kind::name) Error(e->line, msg + ", which names another file or folder");
                else Warning(e->line, msg);
            }
        }
        return v;
    }
    int Int(const std::string& section, const std::string& key) {
        const ProfileEntry* e = Entry(section, key);
        int v = ReadProfileInt(iniPath_.c_str(), section.c_str(), key.c_str());
        if (e) {
            std::string t = ProfileValueText(e, 1u << 20);
            bool numeric = !t.empty() && (std::isdigit(static_cast<unsigned char>(t[0])) || t[0] == '-' || t[0] == '+');
            if (!numeric && !t.empty())
                Warning(e->line, "[" + section + "] " + key + " = \"" + t + "\" is not a number; the setup reads " +
                                     std::to_string(v));
        }
        return v;
    }
    void Indexed(const std::string& section, const std::string& prefix, int count) {
        indexed_[LowerAscii(section)].push_back({LowerAscii(prefix), count});
    }

    // The highest index N of the keys prefix + N in a section (or of the
    // sections prefix + N, when key is empty).
    int MaxIndex(const std::string& section, const std::string& prefix) const {
        int best = 0;
        auto consider = [&](const std::string& name) {
            std::string n = LowerAscii(name), p = LowerAscii(prefix);
            if (n.size() <= p.size() || n.compare(0, p.size(), p) != 0 || n[p.size()] == '0' || n.size() - p.size() > 6)
                return;
            for (size_t i = p.size(); i < n.size(); ++i)
                if (!std::isdigit(static_cast<unsigned char>(n[i]))) return;
            best = std::max(best, std::stoi(n.substr(p.size())));
        };
        if (section.empty()) {
            for (const ProfileSection& sec : ini_.sections) consider(sec.name);
        } else if (const ProfileSection* sec = ini_.FindSection(section.c_str())) {
            for (const ProfileEntry& e : sec->entries) consider(e.name);
        }
        return best;
    }
    // A count far beyond the keys that exist: the setup reads every missing
    // key as empty (and may stop at the first). The check goes one past the
    // last key, reports the rest once, and returns how far to go.
    int Bounded(const std::string& section, const std::string& prefix, int count) {
        int top = MaxIndex(section, prefix);
        if (count <= top + 1) return count;
        Error(LineOf(section.empty() ? "Disk" : section, "Number"),
              (section.empty() ? std::string("[Disk]") : "[" + section + "]") + " Number is " + std::to_string(count) +
                  " but the last " + (section.empty() ? "section is [Disk" : "key is " + prefix) + std::to_string(top) +
                  (section.empty() ? "]" : "") + ": everything after it is missing and reads as empty or 0");
        return top + 1;
    }

    // A composed path must fit the buffer the setup builds it in.
    void PathFits(int line, const std::string& what, const std::string& path, size_t bufferSize) {
        if (dest_.empty() || path.size() < bufferSize) return;
        Error(line, what + " \"" + path + "\" has " + std::to_string(path.size()) + " characters with the default folder " +
                        "[Dir] Dest; the setup builds it in " + std::to_string(bufferSize) + " bytes (at most " +
                        std::to_string(bufferSize - 1) + " characters)");
    }
    std::string Full(const std::string& rel) const { return dest_ + "\\" + rel; }

    // Why the setup refuses a name (": a part is a reserved device name
    // ..."), empty when its name rule takes the name.
    static std::string Why(const std::string& name) {
        const NameFault f = CheckRelativeName(name.c_str());
        return f == NameFault::none ? std::string() : std::string(": ") + NameFaultText(f);
    }

    // A folder relative to the installation folder that must exist when the
    // setup writes into it.
    bool FolderExists(const std::string& norm) const { return norm.empty() || created_.count(norm) > 0; }

    // ------------------------------------------------------------ sections
    void Software() {
        Text("Software", "Version", sizes::kVersion, Kind::display);
        Text("Software", "Name", sizes::kSoftwareName, Kind::display);
        dest_ = Text("Dir", "Dest", sizes::kFolder, Kind::name);
        int line = LineOf("Dir", "Dest");
        if (dest_.empty()) {
            Warning(line, "[Dir] Dest is empty: the destination page offers no folder and the user must type one");
        } else if (dest_.size() < 3 || dest_[1] != ':' || dest_[2] != '\\') {
            Warning(line, "[Dir] Dest \"" + dest_ + "\" is not an absolute folder with a drive (such as C:\\Program)");
        }
        if (!dest_.empty() && dest_.back() == '\\' && dest_.size() > 3)
            Warning(line, "[Dir] Dest ends with \\: every composed path gets a double \\");
    }

    void SubDirs() {
        int n = Int("SubDir", "Number");
        Indexed("SubDir", "Dir", n);
        if (n > sizes::kMaxNumberedEntries)
            Error(LineOf("SubDir", "Number"), "[SubDir] Number " + std::to_string(n) + " is above " +
                                                  std::to_string(sizes::kMaxNumberedEntries));
        for (int i = 1, last = Bounded("SubDir", "Dir", std::min(n, sizes::kMaxNumberedEntries)); i <= last; ++i) {
            std::string key = "Dir" + std::to_string(i);
            int line = LineOf("SubDir", key);
            std::string v = Text("SubDir", key, sizes::kName, Kind::name);
            std::string norm = Norm(v);
            if (v.empty()) {
                Error(line, "[SubDir] " + key + " is empty or missing: creating it fails with \"Create subdirectory error.\" and the wizard cannot go on");
                continue;
            }
            if (norm == "?" || !IsSafeRelativeName(v)) {
                Error(line, "[SubDir] " + key + " \"" + v + "\" is not a folder name inside the installation folder" + Why(v) +
                                "; the wizard stops with \"Create subdirectory error.\"");
                continue;
            }
            if (!FolderExists(FolderOf(norm)))
                Error(line, "[SubDir] " + key + " \"" + v + "\": the setup creates one level at a time, and \"" +
                                FolderOf(v) + "\" is not created by an earlier [SubDir] entry, so this fails with \"Create subdirectory error.\"");
            created_.insert(norm);
        }
    }

    void Languages() {
        languageCount_ = Int("Language", "Number");
        Indexed("Language", "Descrip", languageCount_);
        Indexed("Language", "File", std::max(languageCount_, languageCount_ == 0 ? 1 : 0));
        const int shown = Bounded("Language", "Descrip", languageCount_);
        for (int i = 1; i <= shown; ++i) {
            const std::string key = "Descrip" + std::to_string(i);
            ChineseEntry(key, Text("Language", key, sizes::kName, Kind::display));
        }
        // Number 0 shows "English" alone, which uses File1.
        int files = languageCount_ == 0 ? 1 : std::min(std::max(languageCount_, 0), MaxIndex("Language", "File") + 1);
        for (int i = 1; i <= files; ++i) {
            std::string key = "File" + std::to_string(i);
            languageFiles_.push_back({LineOf("Language", key), Text("Language", key, sizes::kName, Kind::name)});
        }
        languageTarget_ = Text("Language", "DestFile", sizes::kName, Kind::name);
    }

    // Only an entry that reads "Chinese" selects the Chinese agreement; one
    // in Chinese characters or with more text beside the word shows the
    // English agreement, which a vendor naming the entry so hardly wants.
    void ChineseEntry(const std::string& key, const std::string& shown) {
        const ProfileEntry* e = ini_.FindEntry("Language", key.c_str());
        if (!e || IsChineseEntry(shown.c_str())) return;
        const std::u16string text = e->wideValue.empty() ? AnsiToUtf16(shown, ProfileCodePage()) : e->wideValue;
        const bool han = std::any_of(text.begin(), text.end(), [](char16_t c) {
            return (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xD840 && c <= 0xD87F);
        });
        if (!han && LowerAscii(shown).find("chinese") == std::string::npos) return;
        Warning(e->line, "[Language] " + key + " \"" + shown + "\" is " + (han ? "in Chinese characters" : "more than the word Chinese") +
                             ": it shows the English agreement; only an entry that reads \"Chinese\" (blanks around it and letter case aside) shows the Chinese one");
    }

    void Removes() {
        int n = Int("Remove", "Number");
        for (const char* p : {"Dir", "File", "Dest"}) Indexed("Remove", p, n);
        for (int i = 1, last = Bounded("Remove", "File", n); i <= last; ++i) {
            std::string s = std::to_string(i);
            PackRef p;
            p.index = i;
            p.line = LineOf("Remove", "File" + s);
            p.dir = Text("Remove", "Dir" + s, sizes::kName, Kind::name);
            p.file = Text("Remove", "File" + s, sizes::kName, Kind::name);
            p.dest = Text("Remove", "Dest" + s, sizes::kName, Kind::name);
            p.key = Norm(Join(p.dir, p.file));
            packs_.push_back(p);
        }
    }

    void Disks() {
        const int diskKeyLine = LineOf("Disk", "Number");
        int count = Int("Disk", "Number");
        int processed = std::max(Bounded("", "Disk", count), 1);
        if (count <= 0)
            Warning(diskKeyLine, "[Disk] Number is " + std::to_string(count) + ": the setup processes disk 1 only");
        if (!oneFolder_ && static_cast<int>(disks_.size()) != processed)
            Warning(0, "the medium has " + std::to_string(disks_.size()) + " disk folders but the setup reads " +
                           std::to_string(processed) + " disk(s)");
        int prevPercent = 0, lastPercent = -1, lastLine = diskKeyLine;
        for (int d = 1; d <= processed; ++d) {
            const std::string sec = "Disk" + std::to_string(d);
            disksRead_.insert(LowerAscii(sec));
            int k = Int(sec, "Number");
            for (const char* p : {"File", "Dir", "Percent"}) Indexed(sec, p, k);
            if (k <= 0) {
                int line = LineOf(sec, "Number");
                Error(line ? line : diskKeyLine, "[" + sec + "] Number is " + std::to_string(k) + (line ? "" : " (missing)") +
                                                     ": the setup stops with \"Error File of morlan.ini\"");
                continue;
            }
            std::string folder = oneFolder_ ? disks_[0] : (d <= static_cast<int>(disks_.size()) ? disks_[d - 1] : "");
            for (int i = 1, last = Bounded(sec, "File", k); i <= last; ++i) {
                const std::string s = std::to_string(i);
                ArchiveInfo a;
                a.disk = d;
                a.index = i;
                a.line = LineOf(sec, "File" + s);
                if (!a.line) a.line = LineOf(sec, "Number");
                a.name = Text(sec, "File" + s, sizes::kName, Kind::name);
                a.dir = Text(sec, "Dir" + s, sizes::kName, Kind::name);
                a.dirLine = LineOf(sec, "Dir" + s);
                int percentLine = LineOf(sec, "Percent" + s);
                int percent = Int(sec, "Percent" + s);
                if (percent < 0 || percent > 100)
                    Warning(percentLine, "[" + sec + "] Percent" + s + " is " + std::to_string(percent) + ", outside 0 to 100");
                else if (percent < prevPercent)
                    Warning(percentLine, "[" + sec + "] Percent" + s + " is " + std::to_string(percent) +
                                             ", lower than the " + std::to_string(prevPercent) + " before it: the bar goes back");
                prevPercent = std::max(prevPercent, percent);
                lastPercent = percent;
                lastLine = percentLine ? percentLine : a.line;
                Archive(a, sec, folder);
            }
        }
        if (lastPercent >= 0 && lastPercent != 100)
            Warning(lastLine, "the last archive's Percent is " + std::to_string(lastPercent) + ", not 100");
        // An archive of one file could travel in a pack with others when its
        // entry needs no read-only, hidden or system attribute and is no
        // larger than the largest archive the disks hold; two or more such
        // archives make the setup wait for nothing.
        int archives = 0, movable = 0;
        for (int d = 1; d <= processed; ++d) archives += std::max(Int("Disk" + std::to_string(d), "Number"), 0);
        uint64_t largest = 0;
        for (const ArchiveInfo& a : archives_) largest = std::max(largest, a.fileSize);
        for (const ArchiveInfo& a : archives_)
            if (a.readable && !IsPack(a) && (a.attributes & (kZipAttrReadOnly | kZipAttrHidden | kZipAttrSystem)) == 0 &&
                a.entrySize <= largest)
                ++movable;
        const unsigned long wait = SetupWaitMs(archives);
        if (wait > kWaitWarnMs && movable >= 2)
            Warning(diskKeyLine, "the setup waits " + std::to_string(wait / 1000) + " s for the " + std::to_string(archives) +
                                     " archives of this medium (1 s after each, 2 s after the last), whatever their size: " +
                                     "put the files that need no read-only, hidden or system attribute into pack files, " +
                                     "one archive per disk (setupkit build lays a package out so)");
    }

    bool IsPack(const ArchiveInfo& a) const {
        const std::string key = Norm(Join(a.dir, a.entry));
        return std::any_of(packs_.begin(), packs_.end(), [&](const PackRef& p) { return p.key == key; });
    }

    void Archive(ArchiveInfo& a, const std::string& sec, const std::string& folder) {
        const std::string where = "archive " + std::to_string(a.index) + " of disk " + std::to_string(a.disk);
        if (a.name.empty()) {
            Error(a.line, "[" + sec + "] File" + std::to_string(a.index) + " (" + where + ") is empty or missing");
            return;
        }
        if (!IsSafeRelativeName(a.name) || a.name.find_first_of("\\/") != std::string::npos) {
            Error(a.line, where + ": archive name \"" + a.name + "\" is not a plain file name; the setup refuses it" + Why(a.name));
            return;
        }
        a.dirNorm = Norm(a.dir);
        if (a.dirNorm == "?" || (!a.dir.empty() && a.dir != "." && !IsSafeRelativeName(a.dir))) {
            Error(a.dirLine ? a.dirLine : a.line, where + ": folder \"" + a.dir + "\" is not a folder inside the installation folder" + Why(a.dir));
            return;
        }
        if (!FolderExists(a.dirNorm))
            Error(a.line, where + ": folder \"" + a.dir + "\" is not created by [SubDir] (the setup creates no other folders), so copying " +
                              a.name + ".zip into it fails");
        const std::string zipName = a.name + ".zip";
        PathFits(a.line, where + " copied to", Full(Join(a.dir, zipName)), sizes::kPath);
        if (folder.empty()) {
            Error(a.line, where + ": the medium has no folder for disk " + std::to_string(a.disk));
            return;
        }
        a.path = FindCaseless(folder, zipName);
        if (a.path.empty()) {
            std::string elsewhere;
            for (size_t d = 0; d < disks_.size(); ++d)
                if (!FindCaseless(disks_[d], zipName).empty()) elsewhere = " (it is on disk " + std::to_string(d + 1) + ")";
            Error(a.line, where + ": " + zipName + " is missing from disk " + std::to_string(a.disk) + elsewhere);
            return;
        }
        usedArchives_.insert(a.path);
        ReadArchive(a);
        archives_.push_back(a);
    }

    void ReadArchive(ArchiveInfo& a) {
        const std::string where = a.name + ".zip";
        try {
            CZipUnpacker zip(a.path);
            if (zip.GetEntryCount() != 1)
                Error(a.line, where + " holds " + std::to_string(zip.GetEntryCount()) +
                                  " entries; the setup unpacks only the first, so every archive must hold exactly one");
            zip.GoToFirstEntry();
            const ZipEntryInfo info = zip.CurrentEntry(&a.entry);
            a.attributes = info.externalAttributes;
            a.entrySize = info.uncompressedSize;
            std::error_code ec;
            a.fileSize = fs::file_size(a.path, ec);
            if (a.entry.find('\0') != std::string::npos || !IsSafeRelativeName(a.entry) || Norm(a.entry) == "?") {
                Error(a.line, where + ": its entry name \"" + a.entry.c_str() +
                                  "\" would be refused" +
                                  (Why(a.entry).empty() ? std::string(": it leads out of the folder or is not a file name") : Why(a.entry)));
                return;
            }
            std::string entryNorm = Norm(a.entry);
            if (entryNorm == Norm(a.name + ".zip"))
                Error(a.line, where + ": its entry has the archive's own name, so unpacking would overwrite the archive being read");
            if (!FolderExists(Norm(Join(a.dir, FolderOf(a.entry)))) && FolderExists(a.dirNorm))
                Error(a.line, where + ": its entry \"" + a.entry + "\" needs the folder \"" + Join(a.dir, FolderOf(a.entry)) +
                                  "\", which no [SubDir] entry creates");
            PathFits(a.line, where + ": its entry unpacked to", Full(Join(a.dir, a.entry)), sizes::kPath);
            a.readable = true;
            const std::string key = Norm(Join(a.dir, a.entry));
            installed_.insert(key);
            const PackRef* pack = nullptr;
            for (const PackRef& p : packs_)
                if (p.key == key) pack = &p;
            if (!options_.readArchiveData) return;
            zip.OpenCurrentEntry();
            UniqueStdioFile tmp(pack ? std::tmpfile() : nullptr);
            std::vector<char> buf(1 << 16);
            bool tmpFailed = pack && !tmp;
            for (;;) {
                unsigned n = zip.ReadCurrentEntry(buf.data(), static_cast<unsigned>(buf.size()));
                if (n == 0) break;
                if (tmp && std::fwrite(buf.data(), 1, n, tmp.get()) != n) tmpFailed = true;
            }
            zip.CloseArchive();  // checks the CRC
            if (tmpFailed) {
                Warning(a.line, where + ": no room for a temporary file: its pack was not checked");
            } else if (tmp) {
                packData_[key] = std::move(tmp);
            }
        } catch (const CZipException& e) {
            const std::string why = ZipUnreadableReason(a.path, false);
            Error(a.line, where + " cannot be unpacked by the setup: " + (why.empty() ? std::string(ZipCauseText(e.cause)) : why));
        } catch (const CException& e) {
            Error(a.line, where + ": " + e.GetErrorMessage());
        }
    }

    void Packs() {
        for (PackRef& p : packs_) {
            const std::string s = std::to_string(p.index);
            const std::string where = "pack " + std::to_string(p.index) + " (" + Join(p.dir, p.file) + ")";
            if (p.file.empty()) {
                Error(p.line, "[Remove] File" + s + " is empty or missing: the pack phase stops with \"Error File Open.\"");
                continue;
            }
            bool refused = false;
            for (const char* key : {"Dir", "File", "Dest"}) {
                std::string v = ProfileValueText(ini_.FindEntry("Remove", (key + s).c_str()), sizes::kName);
                if (!v.empty() && !IsSafeRelativeName(v)) {
                    Error(LineOf("Remove", key + s), where + ": \"" + v + "\" is not a name inside the installation folder; the setup refuses this pack" + Why(v));
                    refused = true;
                }
            }
            if (refused) continue;
            std::string destNorm = Norm(p.dest);
            if (destNorm == "?" || (!p.dest.empty() && p.dest != "." && !IsSafeRelativeName(p.dest))) {
                Error(p.line, where + ": destination \"" + p.dest + "\" is not a folder inside the installation folder");
                continue;
            }
            if (!FolderExists(destNorm))
                Error(p.line, where + ": destination folder \"" + p.dest + "\" is not created by [SubDir], so its files cannot be written (\"Error Move Out File.\")");
            PathFits(p.line, where + " path", Full(Join(p.dir, p.file)), sizes::kPath);
            PathFits(p.line, where + " destination", Full(p.dest), sizes::kFolder);
            bool delivered = false;
            for (const ArchiveInfo& a : archives_)
                if (a.readable && Norm(Join(a.dir, a.entry)) == p.key) delivered = true;
            if (!delivered) {
                Error(p.line, where + ": no archive delivers this file, so the pack phase stops with \"Error File Open.\"");
                continue;
            }
            installed_.erase(p.key);  // the pack phase deletes the pack after unpacking it
            auto it = packData_.find(p.key);
            if (it == packData_.end()) continue;  // archive data not read
            CPackReader reader;
            std::FILE* f = it->second.release();  // the reader closes it
            packData_.erase(it);
            std::rewind(f);
            if (!reader.Attach(f)) continue;
            int count = reader.ReadHeader();
            int records = 0;
            bool whole = false;
            PackRecordInfo info;
            for (;;) {
                CPackReader::Status st = reader.ReadRecordHeader(info);
                if (st == CPackReader::end) {
                    whole = true;
                    break;
                }
                if (st == CPackReader::truncated) {
                    Error(p.line, where + ": the pack ends inside a record (after " + std::to_string(records) + " records)");
                    break;
                }
                if (st == CPackReader::nameTooLong) {
                    Error(p.line, where + ": record " + std::to_string(records + 1) + " has a name over " + std::to_string(pack::kMaxNameLength) + " bytes (\"" +
                                      info.name + "...\"); the pack phase cannot read it");
                    break;
                }
                ++records;
                std::string name = info.name;
                std::string norm = Norm(name);
                if (!IsSafeRelativeName(name) || norm == "?" || name.back() == '\\' || name.back() == '/') {
                    Error(p.line, where + ": record \"" + name + "\" would be refused: it is not a file name inside \"" + p.dest + "\"" + Why(name));
                } else {
                    std::string folder = Norm(Join(p.dest, FolderOf(name)));
                    if (!FolderExists(folder) && FolderExists(destNorm))
                        Error(p.line, where + ": record \"" + name + "\" needs the folder \"" + Join(p.dest, FolderOf(name)) +
                                          "\", which no [SubDir] entry creates (\"Error Move Out File.\")");
                    installed_.insert(Norm(Join(p.dest, name)));
                    const std::string target = Full(Join(p.dest, name));
                    if (!dest_.empty() && target.size() >= sizes::kRecordPath)
                        Error(p.line, where + ": the setup will stop with \"" +
                                          PathTooLongText(name, Full(Join(p.dir, p.file))) + "\" with the default folder [Dir] Dest: \"" +
                                          target + "\" has " + std::to_string(target.size()) + " characters, at most " +
                                          std::to_string(sizes::kRecordPath - 1) + " install");
                }
                if (!reader.SkipData(info.length)) {
                    Error(p.line, where + ": the pack ends inside record \"" + name + "\"");
                    break;
                }
            }
            if (whole && count != records)
                Warning(p.line, where + ": its header counts " + std::to_string(count) + " records but it holds " +
                                    std::to_string(records) + ": the progress bar will be wrong");
        }
    }

    void DelFiles() {
        int n = Int("DelFile", "Number");
        Indexed("DelFile", "File", n);
        for (int i = 1, last = Bounded("DelFile", "File", n); i <= last; ++i) {
            std::string key = "File" + std::to_string(i);
            int line = LineOf("DelFile", key);
            std::string v = Text("DelFile", key, sizes::kName, Kind::name);
            if (v.empty()) {
                Warning(line, "[DelFile] " + key + " is empty or missing: it deletes nothing");
                continue;
            }
            if (!IsSafeRelativeName(v) || Norm(v) == "?") {
                Error(line, "[DelFile] " + key + " \"" + v + "\" is not a file inside the installation folder" + Why(v) +
                                "; the setup reports it and deletes nothing");
                continue;
            }
            PathFits(line, "[DelFile] " + key, Full(v), sizes::kFilePath);
            installed_.erase(Norm(v));
        }
    }

    void NeedFile(int line, const std::string& rel, const std::string& what, bool error) {
        const std::string norm = Norm(rel);
        if (installed_.count(norm)) return;
        if (!options_.readArchiveData) {
            // The packs were not read: a file below a pack's destination may
            // be in it.
            for (const PackRef& p : packs_) {
                std::string dest = Norm(p.dest);
                if (dest.empty() || (norm.size() > dest.size() && norm.compare(0, dest.size(), dest) == 0 &&
                                     norm[dest.size()] == '\\'))
                    return;
            }
        }
        Add(error, line, what + " \"" + rel + "\" is not installed by any archive or pack (or [DelFile] deletes it)");
    }

    void Driver() {
        const int typeLine = LineOf("Programmer", "Type");
        int type = Int("Programmer", "Type");
        int n = Int("SystemFile", "Number");
        Indexed("SystemFile", "File", n);
        Indexed("SystemFile", "Dir", n);
        std::vector<std::pair<int, std::string>> files;
        for (int i = 1, last = Bounded("SystemFile", "File", n); i <= last; ++i) {
            std::string s = std::to_string(i);
            int line = LineOf("SystemFile", "File" + s);
            std::string f = Text("SystemFile", "File" + s, sizes::kName, Kind::name);
            std::string d = Text("SystemFile", "Dir" + s, sizes::kName, Kind::name);
            if (type == 1 && d.empty())
                Warning(LineOf("SystemFile", "Dir" + s), "[SystemFile] Dir" + s + " is empty: the file is copied into the Windows folder itself through a double \\");
            const std::string relative = d.empty() ? f : d + "\\" + f;
            if (type == 1 && !f.empty() && !IsSafeRelativeName(relative))
                Error(line, "[SystemFile] \"" + relative + "\" is not a file name below the Windows folder" + Why(relative) +
                                "; the setup reports it and does not copy it");
            files.push_back({line, f});
        }
        std::string vid = Text("RegIni", "VID", sizes::kName, Kind::name);
        std::string pid = Text("RegIni", "PID", sizes::kName, Kind::name);
        if (type == 0) {
            NeedFile(typeLine, "bin\\Kr3nt.sys", "[Programmer] Type 0 registers the kernel driver, but", true);
            PathFits(typeLine, "the kernel driver's path", Full("bin\\Kr3nt.sys"), sizes::kFilePath);
        } else if (type == 1) {
            for (const auto& [line, f] : files) {
                if (f.empty()) Error(line, "[SystemFile] file name is empty or missing");
                else {
                    NeedFile(line, "bin\\" + f, "the USB driver file", true);
                    PathFits(line, "[SystemFile] source", Full("bin\\" + f), sizes::kFilePath);
                }
            }
            if (vid.empty() || pid.empty())
                Warning(LineOf("RegIni", vid.empty() ? "VID" : "PID"),
                        "[RegIni] VID or PID is empty: an earlier registration of the device is not cleared");
        }
    }

    void ShortcutAndExec() {
        Text("Shortcut", "Descript1", sizes::kShortcutText, Kind::display);
        std::string name = Text("Shortcut", "Descript2", sizes::kShortcutText, Kind::name);
        if (name.empty())
            Warning(LineOf("Shortcut", "Descript2"), "[Shortcut] Descript2 is empty: the shortcuts are named \".lnk\"");
        else if (!IsSafeRelativeName(name + ".lnk"))
            Error(LineOf("Shortcut", "Descript2"), "[Shortcut] Descript2 \"" + name + "\" is not a file name inside the user's folders" +
                                                       Why(name + ".lnk") + "; the setup reports it and makes no shortcut");
        std::string ico = Text("Shortcut", "Ico", sizes::kIcon, Kind::name);
        if (!ico.empty()) {
            NeedFile(LineOf("Shortcut", "Ico"), "bin\\" + ico + ".ico", "the shortcut icon", false);
            PathFits(LineOf("Shortcut", "Ico"), "the icon's path", Full("bin\\" + ico + ".ico"), sizes::kFilePath);
        }
        const int execLine = LineOf("Exec", "ExecFile");
        std::string exec = Text("Exec", "ExecFile", sizes::kExec, Kind::name);
        if (exec.empty()) {
            Error(execLine, "[Exec] ExecFile is empty: the shortcuts and \"run the program\" point at the installation folder");
        } else {
            NeedFile(execLine, exec, "the program [Exec] ExecFile", true);
            PathFits(execLine, "the program's path", Full(exec), sizes::kFilePath);
        }
        std::string dir = Text("Exec", "ExecDir", sizes::kExec, Kind::name);
        if (Norm(dir) == "?" || !FolderExists(Norm(dir)))
            Warning(LineOf("Exec", "ExecDir"), "[Exec] ExecDir \"" + dir + "\" is not a folder the setup creates: opening it fails");
    }

    void LanguageFiles() {
        bool any = false;
        for (const auto& [line, f] : languageFiles_) {
            if (LowerAscii(f) == "default") continue;
            any = true;
            if (f.empty()) {
                Error(line, "[Language] library name is empty or missing: the setup copies bin\\.dll (write Default for no library)");
                continue;
            }
            if (!IsSafeRelativeName("bin\\" + f + ".dll")) {
                Error(line, "[Language] library \"" + f + "\" is not a file inside the bin folder" + Why("bin\\" + f + ".dll") +
                                "; the setup reports it and installs no library");
                continue;
            }
            NeedFile(line, "bin\\" + f + ".dll", "the language library", true);
            PathFits(line, "the language library's path", Full("bin\\" + f + ".dll"), sizes::kLanguageSource);
        }
        if (any) {
            int line = LineOf("Language", "DestFile");
            if (languageTarget_.empty())
                Error(line, "[Language] DestFile is empty: the chosen library is copied to bin\\.dll");
            else if (!IsSafeRelativeName("bin\\" + languageTarget_ + ".dll"))
                Error(line, "[Language] DestFile \"" + languageTarget_ + "\" is not a file inside the bin folder" +
                                Why("bin\\" + languageTarget_ + ".dll") + "; the setup reports it and installs no library");
            else
                PathFits(line, "the language library's target", Full("bin\\" + languageTarget_ + ".dll"), sizes::kPath);
        }
    }

    // Entries and sections that no read of the setup reaches.
    void Unread() {
        static const std::set<std::string> known = {"software", "dir", "subdir", "language", "disk", "remove", "delfile",
                                                    "programmer", "systemfile", "regini", "shortcut", "exec"};
        std::map<std::string, int> firstSection;
        for (const ProfileSection& s : ini_.sections) {
            if (s.line == 0) {
                for (const ProfileEntry& e : s.entries)
                    if (!IsComment(e)) Warning(e.line, "\"" + e.name + "\" stands before the first section and is never read");
                continue;
            }
            std::string lower = LowerAscii(s.name);
            auto [it, first] = firstSection.emplace(lower, s.line);
            if (!first) {
                Warning(s.line, "section [" + s.name + "] appears again (first at line " + std::to_string(it->second) +
                                    "); the setup reads only the first, so these entries are ignored");
                continue;
            }
            bool isDisk = lower.size() > 4 && lower.compare(0, 4, "disk") == 0;
            if (!known.count(lower) && !(isDisk && disksRead_.count(lower))) {
                std::string why = isDisk ? " (beyond [Disk] Number, or not a disk number the setup forms)" : "";
                Warning(s.line, "section [" + s.name + "] is never read by the setup" + why);
                continue;
            }
            std::map<std::string, int> seen;
            for (const ProfileEntry& e : s.entries) {
                if (IsComment(e)) continue;
                std::string key = LowerAscii(e.name);
                auto [k, firstKey] = seen.emplace(key, e.line);
                if (!firstKey) {
                    Warning(e.line, "[" + s.name + "] " + e.name + " is given again (first at line " + std::to_string(k->second) +
                                        "); the setup reads the first");
                    continue;
                }
                if (read_.count(&e)) continue;
                Warning(e.line, "[" + s.name + "] " + e.name + " is never read: " + WhyUnread(lower, key));
            }
        }
    }

    std::string WhyUnread(const std::string& section, const std::string& key) {
        size_t digits = key.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(key[digits - 1]))) --digits;
        std::string prefix = key.substr(0, digits), number = key.substr(digits);
        if (!number.empty()) {
            auto it = indexed_.find(section);
            if (it != indexed_.end()) {
                for (const auto& [p, count] : it->second) {
                    if (p != prefix) continue;
                    if (number[0] == '0') return "numbers in key names are written without leading zeros";
                    return "it is beyond the count (" + std::to_string(count) + ") that the section's Number gives";
                }
            }
        }
        return "the setup reads no key of that name in this section";
    }

    static bool IsComment(const ProfileEntry& e) { return !e.name.empty() && (e.name[0] == ';' || e.name[0] == '#'); }

    void UnusedArchives() {
        for (size_t d = 0; d < disks_.size(); ++d) {
            std::error_code ec;
            for (auto it = fs::directory_iterator(disks_[d], ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
                std::string n = LowerAscii(it->path().filename().string());
                if (n.size() > 4 && n.compare(n.size() - 4, 4, ".zip") == 0 && !usedArchives_.count(it->path().string()))
                    Warning(0, it->path().string() + " is not named in morlan.ini and is never installed");
            }
        }
    }

    struct PackRef {
        int index = 0, line = 0;
        std::string dir, file, dest, key;
    };

    CheckOptions options_;
    CheckReport report_;
    std::vector<std::string> disks_;
    bool oneFolder_ = false;
    std::string iniPath_, iniLabel_;
    ProfileFile ini_;
    std::set<const ProfileEntry*> read_;
    std::map<std::string, std::vector<std::pair<std::string, int>>> indexed_;
    std::set<std::string> disksRead_;
    std::string dest_;
    std::set<std::string> created_;    // folders [SubDir] creates (normalised)
    std::set<std::string> installed_;  // files the medium leaves in place (normalised)
    std::vector<ArchiveInfo> archives_;
    std::vector<PackRef> packs_;
    std::map<std::string, UniqueStdioFile> packData_;  // unpacked packs
    std::set<std::string> usedArchives_;
    int languageCount_ = 0;
    std::vector<std::pair<int, std::string>> languageFiles_;
    std::string languageTarget_;
};

}  // namespace

CheckReport CheckMedium(const std::vector<std::string>& folders, const CheckOptions& options) {
    return Checker(folders, options).Run();
}
