// setupkit build: write a whole installation medium from a package description.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "Command.h"
#include "Progress.h"
#include "fw/Exception.h"
#include "setupkit/lib/MediumBuild.h"
#include "setupkit/lib/MediumCheck.h"

namespace {

std::string Megabytes(uint64_t b) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(b) / (1024.0 * 1024.0));
    return buf;
}

int RunBuild(const std::vector<std::string>& a) {
    std::vector<std::string> pos;
    BuildOptions options;
    std::vector<std::pair<std::string, std::string>> adds;
    bool quiet = false, verify = true;
    for (size_t i = 0; i < a.size(); ++i) {
        const std::string& s = a[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= a.size()) return false;
            out = a[++i];
            return true;
        };
        std::string v;
        if (s == "--disk-size") {
            if (!value(v)) return UsageError("build: --disk-size needs a SIZE");
            std::string err;
            if (!ParseDiskSize(v, options.diskSize, err)) return UsageError("build: " + err);
        } else if (s == "--setup") {
            if (!value(options.setupExe)) return UsageError("build: --setup needs the path of setup.exe");
        } else if (s == "--add") {
            if (!value(v) || v.find('=') == std::string::npos)
                return UsageError("build: --add needs INSTALLED=SOURCE");
            adds.emplace_back(v.substr(0, v.find('=')), v.substr(v.find('=') + 1));
        } else if (s == "--threads") {
            if (!value(v) || std::atoi(v.c_str()) < 1 || std::atoi(v.c_str()) > 64)
                return UsageError("build: --threads needs a number from 1 to 64");
            options.threads = static_cast<unsigned>(std::atoi(v.c_str()));
        } else if (s == "-q" || s == "--quiet") {
            quiet = true;
        } else if (s == "--no-check") {
            verify = false;
        } else if (!s.empty() && s[0] == '-') {
            return UsageError("build: unknown option " + s);
        } else {
            pos.push_back(s);
        }
    }
    if (pos.size() != 2) return UsageError("build needs PACKAGE OUTDIR (see setupkit build --help)");
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        LocalTime t;
        std::string err;
        if (!ParseSourceDateEpoch(epoch, t, err)) return UsageError("build: " + err);
        options.sourceDate = t;
    }
    std::string packageFile = pos[0];
    std::error_code ec;
    if (std::filesystem::is_directory(packageFile, ec))
        packageFile = (std::filesystem::path(packageFile) / "package.ini").string();

    ProgressBar bar("building");
    options.progress = [&](uint64_t done, uint64_t total) { bar.Update(done, total); };
    BuildResult result;
    try {
        Package pkg = LoadPackage(packageFile, adds);
        result = BuildMedium(pkg, pos[1], options);
    } catch (const CException& e) {
        bar.Clear();
        std::fprintf(stderr, "setupkit: build: %s\n", e.GetErrorMessage().c_str());
        return 1;
    } catch (const std::exception& e) {
        bar.Clear();
        std::fprintf(stderr, "setupkit: build: %s\n", e.what());
        return 1;
    }
    bar.Clear();

    if (!quiet) {
        for (int d = 1; d <= result.diskCount; ++d) {
            uint64_t bytes = 0;
            int n = 0;
            for (const BuiltArchive& ar : result.archives)
                if (ar.disk == d) {
                    bytes += ar.size;
                    ++n;
                }
            std::printf("%s: %d archive%s, %s\n", result.diskDirs[d - 1].c_str(), n, n == 1 ? "" : "s",
                        Megabytes(bytes).c_str());
        }
        const int archives = static_cast<int>(result.archives.size());
        std::printf("the setup waits %.0f s for the %d archive%s of this medium (1 s after each, 2 s after the last)\n",
                    SetupWaitMs(archives) / 1000.0, archives, archives == 1 ? "" : "s");
        if (options.setupExe.empty())
            std::printf("note: no --setup given: copy setup.exe onto disk 1 before shipping\n");
    }
    if (verify) {
        // The layout is checked the way `setupkit check` does it (without
        // unpacking every archive again: the tool has just written them).
        CheckOptions co;
        co.readArchiveData = false;
        co.expectSetupExe = !options.setupExe.empty();
        CheckReport report = CheckMedium(result.diskDirs, co);
        for (const CheckFinding& f : report.findings) std::fprintf(stderr, "%s\n", FindingText(f).c_str());
        if (report.Errors() > 0) {
            std::fprintf(stderr, "setupkit: build: the medium was written but does not pass the check\n");
            return 1;
        }
    }
    return 0;
}

const SetupkitCommand buildCmd(
    "build", "PACKAGE OUTDIR [--disk-size SIZE] [--setup FILE] [--add INST=SRC]...",
    "write a whole (multi-disk) medium from a package description",
    "Reads the package description PACKAGE (a package.ini, or a folder holding\n"
    "one) and writes the medium into OUTDIR: disk1/, disk2/, ... each holding\n"
    "at most SIZE bytes: its archives (one deflated entry each), and on disk 1\n"
    "morlan.ini and setup.exe. The setup pauses 1 s after every archive, so\n"
    "the files travel in pack files in the installation folder, one archive\n"
    "per disk where they fit; only read-only, hidden or system files and\n"
    "names a pack record cannot hold get an archive of their own (Pack= is\n"
    "still accepted and changes nothing). morlan.ini gets every section,\n"
    "the folders to create ([SubDir], parents first) and the progress\n"
    "percentages computed from the archives' sizes. Disk folders of an earlier\n"
    "build in OUTDIR are replaced. The medium is then checked as `setupkit\n"
    "check` does (structure only).\n"
    "\n"
    "The same package gives the same medium, byte for byte: files keep their\n"
    "own times, and what the build makes itself (pack entries; the medium's\n"
    "files and folders) takes the newest time of its inputs, or the time in\n"
    "the environment variable SOURCE_DATE_EPOCH (seconds since 1970) when set.\n"
    "\n"
    "options:\n"
    "  --disk-size SIZE   bytes per disk, with K, M or G (1024-based), or floppy\n"
    "                     (1457664), cd (650M, the default), dvd\n"
    "  --setup FILE       setup.exe to put on disk 1\n"
    "  --add INST=SRC     install file SRC as INST (relative to the installation\n"
    "                     folder); replaces a payload file of that name\n"
    "  --threads N        compression threads (default: one per processor)\n"
    "  --no-check         skip the final check\n"
    "  -q                 print nothing but errors\n"
    "\n"
    "The package description (paths of sources relative to it; installed paths\n"
    "relative to the installation folder, '\\' separated; ';' starts a comment):\n"
    "\n"
    "  [Product]\n"
    "  Name=Demo Programmer           product name (destination page, 29 chars)\n"
    "  Caption=Demo Programmer 1.0    caption of the wizard (99 chars)\n"
    "  Folder=C:\\DemoProg             default destination folder (179 chars)\n"
    "  Program=bin\\Demo.exe           program of the shortcuts (39 chars)\n"
    "  OpenFolder=bin                 folder opened if the program is not started\n"
    "  ProgrammerType=0               0 kernel driver bin\\Kr3nt.sys, 1 USB, 2 none\n"
    "  LanguageLibrary=Lang           the chosen library is copied to bin\\Lang.dll\n"
    "  [Shortcut]\n"
    "  Name=Demo Programmer           file name of the shortcuts\n"
    "  Description=...                their description\n"
    "  Icon=Demo                      bin\\Demo.ico (8 chars)\n"
    "  [Languages]                    list text=library in bin without .dll, or Default\n"
    "  English=English\n"
    "  Deutsch=German\n"
    "  [Payload]\n"
    "  Root=files                     folder whose tree is installed\n"
    "  Pack=help                      (repeatable, kept for older packages) packs are the default\n"
    "  [Add]                          installed path=source file outside Root\n"
    "  bin\\Demo.exe=../../build/win64/bin/Demo.exe\n"
    "  [Folders]                      extra (empty) folders, one per line\n"
    "  [Delete]                       files to delete after copying, one per line\n"
    "  [USB]                          for ProgrammerType=1: VID=, PID=,\n"
    "                                 SystemFile=NAME, FOLDER (repeatable)\n"
    "\n"
    "Folders are created by the setup one level at a time from names of at most\n"
    "19 characters, pack record names hold at most 79, archive and file names\n"
    "must be plain ASCII. A file whose archive does not fit on a disk is\n"
    "refused (files are never split). MS-DOS times have 2-second steps: odd\n"
    "seconds are rounded down. Exit code 0 on success, 1 on failure, 2 on a\n"
    "usage error.",
    RunBuild);

}  // namespace
