// setupkit check: find what would make an installation from a medium fail.
#include <cstdio>
#include <vector>

#include "Command.h"
#include "setupkit/lib/MediumCheck.h"

namespace {

int RunCheck(const std::vector<std::string>& args) {
    std::vector<std::string> a = args;
    if (std::string e = TakeCodePageOption(a); !e.empty()) return UsageError(e);
    std::vector<std::string> folders;
    bool json = false, quick = false;
    for (const std::string& s : a) {
        if (s == "--json") json = true;
        else if (s == "--quick") quick = true;
        else if (!s.empty() && s[0] == '-') return UsageError("check: unknown option " + s);
        else folders.push_back(s);
    }
    if (folders.empty()) return UsageError("check needs at least one MEDIUM folder (see setupkit check --help)");
    CheckOptions options;
    options.readArchiveData = !quick;
    CheckReport report = CheckMedium(folders, options);
    if (json) {
        std::fputs(FindingsJson(report).c_str(), stdout);
    } else {
        for (const CheckFinding& f : report.findings) std::printf("%s\n", FindingText(f).c_str());
        std::printf("%d error%s, %d warning%s\n", report.Errors(), report.Errors() == 1 ? "" : "s", report.Warnings(),
                    report.Warnings() == 1 ? "" : "s");
    }
    return report.Errors() > 0 ? 1 : 0;
}

const SetupkitCommand checkCmd(
    "check", "[--json] [--quick] [--codepage N] MEDIUM...", "report what would make an installation from a medium fail",
    "Checks an installation medium as setup.exe will read it. MEDIUM is one\n"
    "folder per disk, in order (disk 1 holds morlan.ini), or one folder that\n"
    "holds the whole medium, or the output folder of `setupkit build` (with\n"
    "disk1, disk2, ...). morlan.ini is read with the setup's own profile\n"
    "reader, every archive with its own ZIP reader (unpacked, CRC checked) and\n"
    "every pack file in it with its own pack reader.\n"
    "\n"
    "It reports, with the line of morlan.ini concerned: disk counts that stop\n"
    "the setup (\"Error File of morlan.ini\"); archives missing from their disk,\n"
    "unreadable, or holding other than one entry or an entry name the setup\n"
    "refuses; values longer than the setup's buffer (it cuts them silently);\n"
    "Percent values that go down or do not end at 100; folders for archives\n"
    "and packs that [SubDir] does not create (in order, one level at a time);\n"
    "packs in [Remove] that no archive delivers, pack records named over 79\n"
    "bytes or refused; language libraries, the program, the icon,\n"
    "bin\\Kr3nt.sys (Type 0) and [SystemFile] files (Type 1) that nothing\n"
    "installs; composed paths too long with the default folder [Dir] Dest;\n"
    "keys with leading zeros, keys beyond Number, duplicate keys and sections,\n"
    "sections or keys the setup never reads, [Language] entries in Chinese\n"
    "characters or with more than the word Chinese (only an entry that reads\n"
    "\"Chinese\" shows the Chinese agreement); and every name the setup\n"
    "refuses to create or delete inside the installation folder (archive\n"
    "entries, pack records, [SubDir], [Disk<d>], [Remove], [DelFile],\n"
    "[Language] File and DestFile, [Shortcut] Descript2): absolute names,\n"
    "drives, \":\", \"..\" parts, reserved device names such as NUL, nul.txt,\n"
    "COM1 or LPT1, parts ending in a dot or blank, and doubled separators.\n"
    "\n"
    "Each finding is printed as FILE:LINE: error|warning: message (LINE is\n"
    "left out for the file as a whole).\n"
    "\n"
    "options:\n"
    "  --json    print {\"errors\":N,\"warnings\":N,\"findings\":[{\"severity\",\n"
    "            \"file\",\"line\",\"message\"}...]} instead\n"
    "  --quick   read only the archives' directories, not their data and packs\n"
    SETUPKIT_CODEPAGE_HELP
    "\n"
    "Exit code 0 when there is no error (warnings allowed), 1 otherwise, 2 on a\n"
    "usage error.",
    RunCheck);

}  // namespace
