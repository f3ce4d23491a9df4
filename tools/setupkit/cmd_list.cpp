// setupkit list: show what an archive holds, as the setup would read it.
#include "ArchiveFormat.h"
#include "Command.h"

namespace {

int RunList(const std::vector<std::string>& args) {
    std::vector<std::string> rest;
    bool guessed = false;
    const ArchiveFormat* format = ChooseArchiveFormat(args, rest, guessed);
    if (!format) return 2;
    if (rest.size() != 1) return UsageError("list needs ARCHIVE");
    return format->list(rest[0], guessed);
}

const SetupkitCommand list("list", "[FORMAT OPTION] ARCHIVE", "list the entries of an archive",
                           "Reads ARCHIVE with the setup's own reader and prints one line per entry:\n"
                           "method, compressed and uncompressed size, CRC-32, modification time\n"
                           "(local time), attributes (hexadecimal) and name. ARCHIVE is a ZIP\n"
                           "archive, or with --pack a pack file (size, time and name per record, then\n"
                           "the count); without an option a file that is not a ZIP archive is read\n"
                           "as a pack, and reported as neither when its first record cannot be read.\n"
                           "Exit code 0 when the whole directory was read; otherwise 1 and one line\n"
                           "naming the archive and the cause.",
                           RunList);

}  // namespace
