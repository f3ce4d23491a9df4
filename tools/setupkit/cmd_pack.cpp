// setupkit pack: make a pack file from a folder tree.
#include <cstdio>
#include <vector>

#include "Command.h"
#include "setupkit/lib/PackWriter.h"

namespace {

int RunPack(const std::vector<std::string>& a) {
    bool quiet = false;
    std::vector<std::string> pos;
    for (const std::string& s : a) {
        if (s == "-q" || s == "--quiet")
            quiet = true;
        else if (!s.empty() && s[0] == '-')
            return UsageError("pack: unknown option " + s);
        else
            pos.push_back(s);
    }
    if (pos.size() != 2) return UsageError("pack needs PACK DIR");
    try {
        std::vector<std::string> folders;
        const std::vector<std::string> names = PackDirectory(pos[0], pos[1], &folders);
        if (!quiet) {
            for (const std::string& n : names) std::printf("%s\n", n.c_str());
            std::printf("%zu files packed into %s\n", names.size(), pos[0].c_str());
        }
        // The pack phase creates no folders: say which ones must exist.
        for (const std::string& f : folders)
            std::fprintf(stderr, "setupkit: note: folder %s must exist in the destination ([SubDir])\n", f.c_str());
    } catch (const CException& e) {
        std::fprintf(stderr, "setupkit: pack: %s\n", e.GetErrorMessage().c_str());
        return 1;
    }
    return 0;
}

const SetupkitCommand packCmd(
    "pack", "[-q] PACK DIR", "make a pack file from a folder tree",
    "Writes the pack file PACK holding every regular file below DIR, in sorted\n"
    "order, named relative to DIR with '\\' as separator and stamped with the\n"
    "file's modification time (MS-DOS form, 2-second steps, local time). The\n"
    "header holds the record count. Names must have 1 to 79 bytes; at most\n"
    "32767 files and files under 4 GiB fit. The setup creates no folders when\n"
    "it unpacks a pack, so subfolders used by the names are listed on stderr:\n"
    "they must exist in the destination folder ([SubDir] of morlan.ini).\n"
    "Prints the stored names unless -q is given. Exit code 0 on success, 1 on\n"
    "failure (no partial pack is left), 2 on a usage error.",
    RunPack);

}  // namespace
