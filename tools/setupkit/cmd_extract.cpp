// setupkit extract: unpack an archive the way the setup does.
#include "ArchiveFormat.h"
#include "Command.h"

namespace {

int RunExtract(const std::vector<std::string>& args) {
    std::vector<std::string> rest;
    bool guessed = false;
    const ArchiveFormat* format = ChooseArchiveFormat(args, rest, guessed);
    if (!format) return 2;
    if (rest.size() != 2) return UsageError("extract needs ARCHIVE DIR");
    return format->extract(rest[0], rest[1], guessed);
}

const SetupkitCommand extract("extract", "[FORMAT OPTION] ARCHIVE DIR", "unpack every entry of an archive",
                              "Unpacks every entry of ARCHIVE below the folder DIR (created if needed)\n"
                              "with the setup's own reader, giving each file its stored modification\n"
                              "time and attributes. Names that are absolute, carry a drive, start with\n"
                              "a slash or backslash or contain a '..' part are refused before anything\n"
                              "is written, and so are two entries of which one needs a folder where the\n"
                              "other is a file (a/b and a/b/; case does not count). ARCHIVE is a ZIP\n"
                              "archive, or with --pack a pack file; without an option a file that is\n"
                              "not a ZIP archive is read as a pack (a damaged pack is refused whole:\n"
                              "nothing is written). Exit code 0 on success; otherwise 1 and one line\n"
                              "naming the archive and the cause.",
                              RunExtract);

}  // namespace
