#include "setupkit/lib/Package.h"
#include "config/Ascii.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "config/Paths.h"
#include "config/Profile.h"
#include "config/Sizes.h"
#include "fw/File.h"
#include "setupkit/lib/PackWriter.h"
#include "setupkit/lib/ZipWriter.h"

namespace fs = std::filesystem;

std::string LowerAscii(std::string s) {
    for (char& c : s) c = AsciiLower(c);
    return s;
}

bool NormaliseInstallPath(std::string& path, std::string* why) {
    std::string out;
    std::string comp;
    auto flush = [&]() -> bool {
        if (comp.empty() || comp == ".") {
            comp.clear();
            return true;
        }
        if (comp == "..") {
            if (why) *why = "a \"..\" part would leave the installation folder";
            return false;
        }
        for (unsigned char c : comp) {
            if (c < 0x20 || c > 0x7e || std::string("<>:\"|?*").find(static_cast<char>(c)) != std::string::npos) {
                if (why) *why = "the name \"" + comp + "\" holds a character that is not plain ASCII or not allowed in Windows file names";
                return false;
            }
        }
        if (comp.back() == '.' || comp.back() == ' ' || comp.front() == ' ') {
            if (why) *why = "the name \"" + comp + "\" starts with a blank or ends with a dot or blank";
            return false;
        }
        if (IsReservedDeviceName(comp.data(), comp.size())) {
            if (why) *why = "\"" + comp + "\" is a reserved device name on Windows";
            return false;
        }
        if (!out.empty()) out += '\\';
        out += comp;
        comp.clear();
        return true;
    };
    if (!path.empty() && (path[0] == '/' || path[0] == '\\')) {
        if (why) *why = "the path is absolute; it must be relative to the installation folder";
        return false;
    }
    for (char c : path) {
        if (c == '/' || c == '\\') {
            if (!flush()) return false;
        } else {
            comp += c;
        }
    }
    if (!flush()) return false;
    path = out;
    return true;
}

const PayloadFile* Package::Find(const std::string& installPath) const {
    std::string want = LowerAscii(installPath);
    for (const PayloadFile& f : files)
        if (LowerAscii(f.installPath) == want) return &f;
    return nullptr;
}

namespace {

struct Reader {
    std::string file;
    ProfileFile ini;

    // Line 0 stands for a key that is not in the file: the message then
    // names the file alone.
    [[noreturn]] void Fail(int line, const std::string& msg) const {
        throw PackageError(file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + msg);
    }
    static bool IsComment(const ProfileEntry& e) {
        return !e.name.empty() && (e.name[0] == ';' || e.name[0] == '#');
    }
    static std::string Value(const ProfileEntry& e) { return ProfileValueText(&e, 1u << 20); }

    // The entries of a section, comments left out (every section of that
    // name counts, in file order).
    std::vector<const ProfileEntry*> Entries(const char* section) const {
        std::vector<const ProfileEntry*> out;
        for (const ProfileSection& s : ini.sections) {
            if (LowerAscii(s.name) != LowerAscii(section)) continue;
            for (const ProfileEntry& e : s.entries)
                if (!IsComment(e)) out.push_back(&e);
        }
        return out;
    }
    // A single-valued key; line receives its line (or the section's, or 0).
    std::string Get(const char* section, const char* key, int* line = nullptr) const {
        const ProfileEntry* found = nullptr;
        for (const ProfileEntry* e : Entries(section)) {
            if (LowerAscii(e->name) != LowerAscii(key)) continue;
            if (found) Fail(e->line, std::string("[") + section + "] " + key + " is given twice");
            found = e;
        }
        if (line) *line = found ? found->line : 0;
        return found ? Value(*found) : std::string();
    }
};

// A text that the setup reads into a buffer of `size` bytes must fit whole.
void CheckFits(const Reader& r, int line, const std::string& what, const std::string& v, size_t size) {
    if (v.size() > size - 1)
        r.Fail(line, what + " \"" + v + "\" has " + std::to_string(v.size()) + " characters; the setup reads at most " +
                         std::to_string(size - 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        r.Fail(line, what + " may not be enclosed in quotes: the setup would remove them");
}

std::string InstallPath(const Reader& r, int line, std::string v, const std::string& what, bool allowRoot = false) {
    std::string why;
    if (!NormaliseInstallPath(v, &why)) r.Fail(line, what + ": " + why);
    if (v.empty() && !allowRoot) r.Fail(line, what + " is empty");
    return v;
}

PayloadFile Describe(const std::string& installPath, const fs::path& source) {
    PayloadFile f;
    f.installPath = installPath;
    f.sourcePath = source.string();
    std::error_code ec;
    f.size = fs::file_size(source, ec);
    if (ec) throw PackageError(source.string() + ": cannot read the file's size: " + ec.message());
    if (f.size > 0xFFFFFFF0ull)
        throw PackageError(source.string() + ": the file is larger than 4 GiB, which an archive cannot hold");
    LocalTime t;
    if (!CFile::GetModifiedTime(f.sourcePath, t)) throw PackageError(source.string() + ": cannot read the file's time");
    f.dosTime = pack::LocalToDosTime(t);
    fs::perms p = fs::status(source, ec).permissions();
    f.attributes = kZipAttrArchive;
    if (!ec && (p & fs::perms::owner_write) == fs::perms::none) f.attributes |= kZipAttrReadOnly;
    return f;
}

}  // namespace

Package LoadPackage(const std::string& packageFile, const std::vector<std::pair<std::string, std::string>>& extraFiles) {
    Reader r;
    r.file = packageFile;
    {
        std::error_code ec;
        if (!fs::is_regular_file(packageFile, ec)) throw PackageError(packageFile + ": no such package file");
    }
    r.ini = LoadProfile(packageFile.c_str());
    Package pkg;
    pkg.path = packageFile;
    pkg.dir = fs::path(packageFile).parent_path().string();
    if (pkg.dir.empty()) pkg.dir = ".";

    int line = 0;
    pkg.name = r.Get("Product", "Name", &line);
    CheckFits(r, line, "[Product] Name", pkg.name, sizes::kSoftwareName);
    pkg.caption = r.Get("Product", "Caption", &line);
    CheckFits(r, line, "[Product] Caption", pkg.caption, sizes::kVersion);
    pkg.folder = r.Get("Product", "Folder", &line);
    if (pkg.folder.empty()) r.Fail(line, "[Product] Folder (the default destination folder) is missing");
    CheckFits(r, line, "[Product] Folder", pkg.folder, sizes::kFolder);
    if (pkg.folder.size() < 3 || !std::isalpha(static_cast<unsigned char>(pkg.folder[0])) || pkg.folder[1] != ':' ||
        pkg.folder[2] != '\\' || pkg.folder.back() == '\\')
        r.Fail(line, "[Product] Folder must be an absolute folder with a drive, such as C:\\Demo, without a trailing \\");
    pkg.program = r.Get("Product", "Program", &line);
    pkg.program = InstallPath(r, line, pkg.program, "[Product] Program");
    CheckFits(r, line, "[Product] Program", pkg.program, sizes::kExec);
    const int programLine = line;
    pkg.openFolder = r.Get("Product", "OpenFolder", &line);
    pkg.openFolder = InstallPath(r, line, pkg.openFolder, "[Product] OpenFolder", true);
    CheckFits(r, line, "[Product] OpenFolder", pkg.openFolder, sizes::kExec);
    std::string type = r.Get("Product", "ProgrammerType", &line);
    if (type != "0" && type != "1" && type != "2")
        r.Fail(line, "[Product] ProgrammerType must be 0 (kernel driver bin\\Kr3nt.sys), 1 (USB driver) or 2 (none)");
    pkg.programmerType = type[0] - '0';
    const int typeLine = line;
    pkg.languageLibrary = r.Get("Product", "LanguageLibrary", &line);
    const int libLine = line;
    CheckFits(r, line, "[Product] LanguageLibrary", pkg.languageLibrary, sizes::kName);

    pkg.shortcutName = r.Get("Shortcut", "Name", &line);
    if (pkg.shortcutName.empty()) r.Fail(line, "[Shortcut] Name (the shortcuts' file name) is missing");
    CheckFits(r, line, "[Shortcut] Name", pkg.shortcutName, sizes::kShortcutText);
    {
        std::string n = pkg.shortcutName, why;
        if (!NormaliseInstallPath(n, &why) || n != pkg.shortcutName)
            r.Fail(line, "[Shortcut] Name must be a plain file name: " + (why.empty() ? "no folders" : why));
    }
    pkg.shortcutDescription = r.Get("Shortcut", "Description", &line);
    CheckFits(r, line, "[Shortcut] Description", pkg.shortcutDescription, sizes::kShortcutText);
    pkg.shortcutIcon = r.Get("Shortcut", "Icon", &line);
    CheckFits(r, line, "[Shortcut] Icon", pkg.shortcutIcon, sizes::kIcon);
    const int iconLine = line;

    for (const ProfileEntry* e : r.Entries("Languages")) {
        std::string lib = r.Value(*e);
        CheckFits(r, e->line, "language text", e->name, sizes::kName);
        CheckFits(r, e->line, "language library", lib, sizes::kName);
        if (lib.empty()) r.Fail(e->line, "language \"" + e->name + "\" names no library (write Default for none)");
        pkg.languages.emplace_back(e->name, lib);
    }
    // Only a language with a library of its own needs the name it is copied
    // under; a list of Default entries copies nothing.
    for (const ProfileEntry* e : r.Entries("Languages")) {
        if (pkg.languageLibrary.empty() && LowerAscii(r.Value(*e)) != "default")
            r.Fail(libLine > 0 ? libLine : e->line, "[Product] LanguageLibrary is needed: language \"" + e->name +
                                                        "\" names the library bin\\" + r.Value(*e) + ".dll");
    }

    // Payload.
    std::string root = r.Get("Payload", "Root", &line);
    const int rootLine = line;
    for (const ProfileEntry* e : r.Entries("Payload")) {
        if (LowerAscii(e->name) == "pack") pkg.packs.push_back(InstallPath(r, e->line, r.Value(*e), "[Payload] Pack", true));
        else if (LowerAscii(e->name) != "root") r.Fail(e->line, "unknown key \"" + e->name + "\" in [Payload] (Root or Pack)");
    }
    for (const ProfileEntry* e : r.Entries("Folders"))
        pkg.extraFolders.push_back(InstallPath(r, e->line, e->hasValue ? e->name + "=" + r.Value(*e) : e->name, "folder"));
    for (const ProfileEntry* e : r.Entries("Delete")) {
        std::string p = InstallPath(r, e->line, e->hasValue ? e->name + "=" + r.Value(*e) : e->name, "file to delete");
        CheckFits(r, e->line, "file to delete", p, sizes::kName);
        pkg.deleteFiles.push_back(p);
    }
    pkg.vid = r.Get("USB", "VID", &line);
    CheckFits(r, line, "[USB] VID", pkg.vid, sizes::kName);
    pkg.pid = r.Get("USB", "PID", &line);
    CheckFits(r, line, "[USB] PID", pkg.pid, sizes::kName);
    for (const ProfileEntry* e : r.Entries("USB")) {
        std::string k = LowerAscii(e->name);
        if (k == "vid" || k == "pid") continue;
        if (k != "systemfile") r.Fail(e->line, "unknown key \"" + e->name + "\" in [USB] (VID, PID or SystemFile)");
        std::string v = r.Value(*e);
        size_t comma = v.find(',');
        std::string file = v.substr(0, comma), dir = comma == std::string::npos ? "" : v.substr(comma + 1);
        auto trim = [](std::string s) {
            s.erase(0, s.find_first_not_of(" \t"));
            s.erase(s.find_last_not_of(" \t") + 1);
            return s;
        };
        file = trim(file);
        dir = trim(dir);
        CheckFits(r, e->line, "system file", file, sizes::kName);
        CheckFits(r, e->line, "system file folder", dir, sizes::kName);
        if (file.empty() || file.find_first_of("\\/") != std::string::npos || dir.empty())
            r.Fail(e->line, "SystemFile must read NAME, FOLDER: a file of bin and a folder below the Windows folder");
        pkg.systemFiles.emplace_back(file, dir);
    }

    // Scan the payload.
    std::map<std::string, PayloadFile> byLower;
    auto add = [&](PayloadFile f, int atLine, const std::string& where) {
        std::string key = LowerAscii(f.installPath);
        auto it = byLower.find(key);
        if (it != byLower.end())
            r.Fail(atLine, where + ": \"" + f.installPath + "\" is installed twice (names differing only in case are one file on Windows): " +
                               it->second.sourcePath + " and " + f.sourcePath);
        byLower.emplace(key, std::move(f));
    };
    if (!root.empty()) {
        fs::path rootDir = fs::path(pkg.dir) / root;
        std::error_code ec;
        if (!fs::is_directory(rootDir, ec)) r.Fail(rootLine, "[Payload] Root \"" + root + "\" is not a folder");
        // Listed first and sorted, so that the package reads the same
        // whatever order the file system lists folders in.
        std::vector<fs::directory_entry> found;
        for (auto it = fs::recursive_directory_iterator(rootDir, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
            found.push_back(*it);
        if (ec) r.Fail(rootLine, "cannot read the payload folder: " + ec.message());
        std::sort(found.begin(), found.end());
        for (const fs::directory_entry& e : found) {
            std::string rel = fs::relative(e.path(), rootDir).generic_string();
            std::string why, inst = rel;
            if (!NormaliseInstallPath(inst, &why)) r.Fail(rootLine, "payload \"" + rel + "\": " + why);
            if (e.is_directory()) {
                pkg.extraFolders.push_back(inst);
            } else if (e.is_regular_file()) {
                add(Describe(inst, e.path()), rootLine, "[Payload] Root");
            } else {
                r.Fail(rootLine, "payload \"" + rel + "\" is neither a file nor a folder");
            }
        }
    }
    for (const ProfileEntry* e : r.Entries("Add")) {
        std::string inst = InstallPath(r, e->line, e->name, "[Add] installed path");
        bool overridden = false;
        for (const auto& x : extraFiles) {
            std::string o = x.first;
            overridden = overridden || (NormaliseInstallPath(o) && LowerAscii(o) == LowerAscii(inst));
        }
        if (overridden) continue;  // the command line's --add wins
        fs::path src = fs::path(pkg.dir) / r.Value(*e);
        std::error_code ec;
        if (!fs::is_regular_file(src, ec)) r.Fail(e->line, "[Add] " + e->name + ": no such file: " + src.string());
        byLower.erase(LowerAscii(inst));  // [Add] replaces a file of the same name in Root
        add(Describe(inst, src), e->line, "[Add]");
    }
    for (const auto& [inst0, src] : extraFiles) {
        std::string inst = inst0, why;
        if (!NormaliseInstallPath(inst, &why) || inst.empty())
            throw PackageError("--add " + inst0 + ": " + (why.empty() ? "empty name" : why));
        std::error_code ec;
        if (!fs::is_regular_file(src, ec)) throw PackageError("--add " + inst0 + ": no such file: " + src);
        byLower.erase(LowerAscii(inst));
        byLower.emplace(LowerAscii(inst), Describe(inst, src));
    }
    if (byLower.empty()) r.Fail(rootLine, "the payload is empty: give [Payload] Root or [Add] files");
    for (auto& [key, f] : byLower) pkg.files.push_back(std::move(f));

    // Pack= no longer decides the layout (every file a pack record can carry
    // travels in packs); a folder listed twice is still a mistake.
    for (size_t i = 0; i < pkg.packs.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (LowerAscii(pkg.packs[i]) == LowerAscii(pkg.packs[j]))
                throw PackageError(packageFile + ": [Payload] Pack \"" + pkg.packs[i] + "\" is listed twice");

    // What the later steps of the setup need must be installed.
    if (!pkg.Find(pkg.program)) r.Fail(programLine, "[Product] Program \"" + pkg.program + "\" is not in the payload");
    if (!pkg.shortcutIcon.empty() && !pkg.Find("bin\\" + pkg.shortcutIcon + ".ico"))
        r.Fail(iconLine, "the shortcut icon bin\\" + pkg.shortcutIcon + ".ico is not in the payload");
    for (const ProfileEntry* e : r.Entries("Languages")) {
        std::string lib = r.Value(*e);
        if (LowerAscii(lib) != "default" && !pkg.Find("bin\\" + lib + ".dll"))
            r.Fail(e->line, "the language library bin\\" + lib + ".dll is not in the payload");
    }
    if (pkg.programmerType == 0 && !pkg.Find("bin\\Kr3nt.sys"))
        r.Fail(typeLine, "ProgrammerType 0 needs the kernel driver bin\\Kr3nt.sys in the payload");
    if (pkg.programmerType == 1) {
        for (const auto& [file, dir] : pkg.systemFiles)
            if (!pkg.Find("bin\\" + file)) r.Fail(typeLine, "the USB system file bin\\" + file + " is not in the payload");
    }
    return pkg;
}
